# Tests of the simulated device, included by CMakeLists.txt where the device is built.
velmora_add_test(tst_devicemodel tst_devicemodel.cpp LIBS velmora_device)

velmora_add_test(tst_simprocess tst_simprocess.cpp)
target_compile_definitions(tst_simprocess PRIVATE VELMORA_SIM_PATH="$<TARGET_FILE:velmora-sim>")
add_dependencies(tst_simprocess velmora-sim)

velmora_add_test(tst_endtoend tst_endtoend.cpp LIBS velmora_lib velmora_device)
