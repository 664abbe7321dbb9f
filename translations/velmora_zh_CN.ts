<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Batch::BatchRun</name>
    <message>
        <source>%1 on %2: %3</source>
        <translation>%1（%2）：%3</translation>
    </message>
    <message>
        <source>Connect %1 to %2, then press Enter; s skips, q stops</source>
        <translation>将 %1 连接到 %2，然后按 Enter；s 跳过，q 停止</translation>
    </message>
    <message>
        <source>%1; no more devices on it</source>
        <translation>%1；该端口不再配置设备</translation>
    </message>
    <message>
        <source>cannot write %1: %2; nothing was sent for %3 on %4</source>
        <translation>无法写入 %1：%2；未向 %4 上的 %3 发送任何内容</translation>
    </message>
    <message>
        <source>%1: not back after %2 s</source>
        <translation>%1：%2 秒后仍未恢复</translation>
    </message>
    <message>
        <source>%1: no answer to %2 rows in a row; %3</source>
        <translation>%1：连续 %2 行无应答；%3</translation>
    </message>
    <message>
        <source>cannot write %1: %2; not recorded: %3</source>
        <translation>无法写入 %1：%2；未记录：%3</translation>
    </message>
    <message>
        <source>%1: %2 was settled elsewhere while it was written; not recorded: %3</source>
        <translation>%1：%2 在写入期间已由别处判定；未记录：%3</translation>
    </message>
    <message>
        <source>%1 ok</source>
        <translation>%1 成功</translation>
    </message>
    <message>
        <source>%1 mismatch</source>
        <translation>%1 不一致</translation>
    </message>
    <message>
        <source>%1 refused</source>
        <translation>%1 被拒绝</translation>
    </message>
    <message>
        <source>%1 no answer</source>
        <translation>%1 无应答</translation>
    </message>
    <message>
        <source>%1 skipped</source>
        <translation>%1 已跳过</translation>
    </message>
    <message>
        <source>%1 left</source>
        <translation>%1 剩余</translation>
    </message>
    <message>
        <source>%1 row here: %2</source>
        <translation>本工位 %1 行：%2</translation>
    </message>
    <message>
        <source>%1 rows here: %2</source>
        <translation>本工位 %1 行：%2</translation>
    </message>
    <message>
        <source>%1 row: %2</source>
        <translation>%1 行：%2</translation>
    </message>
    <message>
        <source>%1 rows: %2</source>
        <translation>%1 行：%2</translation>
    </message>
    <message>
        <source>%1; read again after the last run stopped: %2</source>
        <translation>%1；上次运行中断后重新回读：%2</translation>
    </message>
</context>
<context>
    <name>Batch::Csv</name>
    <message>
        <source>the quote opened here is never closed</source>
        <translation>此处开始的引号没有闭合</translation>
    </message>
    <message>
        <source>expected &apos;%1&apos; or the end of the line after a closing quote</source>
        <translation>闭合引号之后应为“%1”或行尾</translation>
    </message>
    <message>
        <source>not UTF-8 text</source>
        <translation>不是 UTF-8 文本</translation>
    </message>
</context>
<context>
    <name>Batch::DurableFile</name>
    <message>
        <source>it was deleted while in use, and what it recorded with it</source>
        <translation>使用期间被删除，其中记录的内容也随之丢失</translation>
    </message>
    <message>
        <source>another file took its name while in use</source>
        <translation>使用期间另一个文件占用了它的文件名</translation>
    </message>
    <message>
        <source>it was cut short while in use, from %1 to %2 bytes</source>
        <translation>使用期间被截短，从 %1 字节变为 %2 字节</translation>
    </message>
    <message>
        <source>another program wrote to it while in use, from %1 to %2 bytes</source>
        <translation>使用期间有其他程序写入，从 %1 字节变为 %2 字节</translation>
    </message>
    <message>
        <source>nothing could be written</source>
        <translation>无法写入任何内容</translation>
    </message>
</context>
<context>
    <name>Batch::Log</name>
    <message>
        <source>%1: in use by another run (velmora-cli batch or velmora-bench)%2</source>
        <translation>%1：正被另一次运行（velmora-cli batch 或 velmora-bench）使用%2</translation>
    </message>
    <message>
        <source>%1:1: the log&apos;s columns do not fit this plan; they would be: %2</source>
        <translation>%1:1: 日志的列与此计划不符；应为：%2</translation>
    </message>
    <message>
        <source>%1:%2: an incomplete line, ignored</source>
        <translation>%1:%2: 不完整的行，已忽略</translation>
    </message>
    <message>
        <source>%1:%2: row %3: the plan has rows 1 to %4</source>
        <translation>%1:%2: 第 %3 行：计划只有第 1 到 %4 行</translation>
    </message>
    <message>
        <source>%1:%2: %3 is not a result</source>
        <translation>%1:%2: %3 不是有效的结果</translation>
    </message>
    <message>
        <source>%1:%2: %3 was %4 with %5; a plan that changed needs a new log</source>
        <translation>%1:%2: %3 %4为 %5；计划已更改，需要新的日志</translation>
    </message>
    <message>
        <source>being written</source>
        <translation>在写入时</translation>
    </message>
    <message>
        <source>provisioned</source>
        <translation>在配置时</translation>
    </message>
    <message>
        <source>id %1, the plan now has id %2</source>
        <translation>编号 %1，计划中现为编号 %2</translation>
    </message>
    <message>
        <source>%1=%2, the plan now has %1=%3</source>
        <translation>%1=%2，计划中现为 %1=%3</translation>
    </message>
</context>
<context>
    <name>Batch::Plan</name>
    <message>
        <source>%1 in the file&apos;s shape</source>
        <translation>%1 个文件格式错误</translation>
    </message>
    <message>
        <source>%1 bad values</source>
        <translation>%1 个无效值</translation>
    </message>
    <message>
        <source>%1 duplicates</source>
        <translation>%1 个重复值</translation>
    </message>
    <message>
        <source>%1 odd addresses</source>
        <translation>%1 个异常地址</translation>
    </message>
    <message>
        <source>%1: %2 more errors: %3</source>
        <translation>%1：另有 %2 个错误：%3</translation>
    </message>
    <message>
        <source>, </source>
        <translation>，</translation>
    </message>
    <message>
        <source>columns are separated by commas or semicolons, not tabs; the first line names the columns: id %1</source>
        <translation>列之间应以逗号或分号分隔，不能用制表符；第一行为列名：id %1</translation>
    </message>
    <message>
        <source>a column without a name; the first line names the columns: id %1</source>
        <translation>有一列没有列名；第一行为列名：id %1</translation>
    </message>
    <message>
        <source>%1: not a column name; the first line names the columns: id %2</source>
        <translation>%1：不是有效的列名；第一行为列名：id %2</translation>
    </message>
    <message>
        <source>%1 is given twice</source>
        <translation>%1 重复出现</translation>
    </message>
    <message>
        <source>no value to write: the columns are id %1</source>
        <translation>没有要写入的值：可用的列为 id %1</translation>
    </message>
    <message>
        <source>%1: also on line %2 (--allow-duplicates allows it)</source>
        <translation>%1：与第 %2 行重复（--allow-duplicates 可允许）</translation>
    </message>
    <message>
        <source> (--allow-odd-addresses allows it)</source>
        <translation>（--allow-odd-addresses 可允许）</translation>
    </message>
    <message>
        <source>%1: not a subnet mask, its ones must come first</source>
        <translation>%1：不是有效的子网掩码，其中的 1 必须全部在前</translation>
    </message>
    <message>
        <source>%1: the network address of %2</source>
        <translation>%1：是 %2 的网络地址</translation>
    </message>
    <message>
        <source>%1: the broadcast address of %2</source>
        <translation>%1：是 %2 的广播地址</translation>
    </message>
    <message>
        <source>%1: outside %2, the subnet of lip and mask</source>
        <translation>%1：不在 lip 与 mask 所定子网 %2 内</translation>
    </message>
    <message>
        <source>%1: empty; its first line names the columns: id %2</source>
        <translation>%1：文件为空；第一行应为列名：id %2</translation>
    </message>
    <message>
        <source>columns: %1 in the header, %2 here</source>
        <translation>列数不符：表头 %1 列，此行 %2 列</translation>
    </message>
    <message>
        <source>id %1: longer than %2 characters</source>
        <translation>id %1：超过 %2 个字符</translation>
    </message>
    <message>
        <source>id %1: a line break or control character</source>
        <translation>id %1：含有换行符或控制字符</translation>
    </message>
    <message>
        <source>no rows after the header</source>
        <translation>表头之后没有数据行</translation>
    </message>
    <message>
        <source>row %1</source>
        <translation>第 %1 行</translation>
    </message>
    <message>
        <source>row %1 (%2)</source>
        <translation>第 %1 行（%2）</translation>
    </message>
    <message>
        <source>device %1 of %2</source>
        <translation>第 %1 台设备（共 %2 台）</translation>
    </message>
    <message>
        <source>%1 (id %2)</source>
        <translation>%1（编号 %2）</translation>
    </message>
</context>
<context>
    <name>Batch::PlanGenerator</name>
    <message>
        <source>--count %1: expected a number from 1 to %2</source>
        <translation>--count %1：应为 1 到 %2 之间的数</translation>
    </message>
    <message>
        <source>%1: %2 is given twice</source>
        <translation>%1：%2 重复给出</translation>
    </message>
    <message>
        <source>plan needs at least one KEY=VALUE</source>
        <translation>plan 至少需要一个 KEY=VALUE</translation>
    </message>
    <message>
        <source>--fixed %1: no %1=VALUE is given</source>
        <translation>--fixed %1：未给出 %1=VALUE</translation>
    </message>
    <message>
        <source>id=%1: an id that is not fixed ends in a number to count up, like A-01</source>
        <translation>id=%1：非固定的编号须以可递增的数字结尾，如 A-01</translation>
    </message>
    <message>
        <source>%1=%2: row %3 would step past %4</source>
        <translation>%1=%2：第 %3 行将超出 %4</translation>
    </message>
</context>
<context>
    <name>Batch::Progress</name>
    <message>
        <source>%1 records %2 of %3 rows as ok: they are not provisioned again</source>
        <translation>%1 中已记录 %3 行中的 %2 行为成功：这些行不再配置</translation>
    </message>
    <message>
        <source>record unreachable since %1; waiting</source>
        <translation>自 %1 起无法连接记录库；等待中</translation>
    </message>
    <message>
        <source>record unreachable since %1; waited %2 s so far</source>
        <translation>自 %1 起无法连接记录库；已等待 %2 秒</translation>
    </message>
    <message numerus="yes">
        <source>record reachable again; %n verdicts from the journal set down</source>
        <translation>
            <numerusform>记录库已恢复连接；已将本地日志中的 %n 条结果写入记录库</numerusform>
        </translation>
    </message>
    <message>
        <source>record reachable again</source>
        <translation>记录库已恢复连接</translation>
    </message>
    <message>
        <source>%1: port lost; waiting for it to come back (%2)</source>
        <translation>%1：端口已断开；等待其恢复（%2）</translation>
    </message>
    <message>
        <source>%1 is back</source>
        <translation>%1 已恢复</translation>
    </message>
    <message>
        <source>the device on %1 answers again with the values just written: waiting for another device</source>
        <translation>%1 上的设备再次应答，且仍是刚写入的值：等待换上下一台设备</translation>
    </message>
    <message>
        <source>stopping once the device being written on %1 is done</source>
        <translation>等 %1 上正在写入的设备完成后停止</translation>
    </message>
    <message>
        <source>waiting for %1 on %2</source>
        <translation>等待 %2 上的 %1</translation>
    </message>
    <message>
        <source>waiting for the device on %1 to be unplugged</source>
        <translation>等待拔下 %1 上的设备</translation>
    </message>
    <message>
        <source>%1 was being written on %2 when the last run stopped: reading its device</source>
        <translation>上次运行停止时 %1 正在 %2 上写入：正在读取其设备</translation>
    </message>
</context>
<context>
    <name>Bench::BenchOutput</name>
    <message>
        <source>open a plan first</source>
        <translation>请先打开计划</translation>
    </message>
    <message>
        <source>the plan has problems: mend them first</source>
        <translation>计划有错误：请先修正</translation>
    </message>
    <message>
        <source>Velmora Bench report</source>
        <translation>Velmora Bench 报告</translation>
    </message>
    <message>
        <source>Velmora Bench labels</source>
        <translation>Velmora Bench 标签</translation>
    </message>
    <message>
        <source>no row done ok to make a label for</source>
        <translation>没有已成功的行，无法生成标签</translation>
    </message>
</context>
<context>
    <name>Bench::BenchWindow</name>
    <message>
        <source>Velmora Bench</source>
        <translation>Velmora Bench</translation>
    </message>
    <message>
        <source>Next device</source>
        <translation>下一台设备</translation>
    </message>
    <message>
        <source>Ask: Next or Skip on the lane</source>
        <translation>询问：在通道上点“下一台”或“跳过”</translation>
    </message>
    <message>
        <source>Auto: when a new device answers</source>
        <translation>自动：新设备应答时</translation>
    </message>
    <message>
        <source>None: at once (a fixture)</source>
        <translation>不等待：立即开始（治具）</translation>
    </message>
    <message>
        <source>Ne&amp;xt device:</source>
        <translation>下一台设备(&amp;X)：</translation>
    </message>
    <message>
        <source>Allow &amp;duplicates</source>
        <translation>允许重复(&amp;D)</translation>
    </message>
    <message>
        <source>Rows may share a lip, mac or sn (--allow-duplicates)</source>
        <translation>允许多行使用相同的 lip、mac 或 sn（--allow-duplicates）</translation>
    </message>
    <message>
        <source>Allow &amp;odd addresses</source>
        <translation>允许异常地址(&amp;O)</translation>
    </message>
    <message>
        <source>A lip may be a network or broadcast address, a gateway outside the subnet, a mask with gaps (--allow-odd-addresses)</source>
        <translation>允许 lip 为网络地址或广播地址、网关不在子网内、掩码不连续（--allow-odd-addresses）</translation>
    </message>
    <message>
        <source>Failed o&amp;nly</source>
        <translation>仅显示失败(&amp;N)</translation>
    </message>
    <message>
        <source>Shows only the rows whose device did not take its values</source>
        <translation>只显示设备未成功写入参数的行</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>开始(&amp;S)</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>停止(&amp;T)</translation>
    </message>
    <message>
        <source>Starts no other device; those being written are finished and recorded</source>
        <translation>不再开始新的设备；正在写入的设备会完成并记录</translation>
    </message>
    <message>
        <source>Find in the plan</source>
        <translation>在计划中查找</translation>
    </message>
    <message>
        <source>Find in the plan: Enter for the next, Esc to close</source>
        <translation>在计划中查找：Enter 查找下一个，Esc 关闭</translation>
    </message>
    <message>
        <source>Plan</source>
        <translation>计划</translation>
    </message>
    <message>
        <source>Problems of the plan</source>
        <translation>计划中的错误</translation>
    </message>
    <message>
        <source>Enter or a double click goes to the cell</source>
        <translation>按 Enter 或双击跳转到该单元格</translation>
    </message>
    <message>
        <source>&amp;Record...</source>
        <translation>日志(&amp;R)...</translation>
    </message>
    <message>
        <source>Chooses the log the run is recorded in</source>
        <translation>选择记录本次运行的日志文件</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>%v of %m</source>
        <translation>%v / %m</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;New plan...</source>
        <translation>新建计划(&amp;N)...</translation>
    </message>
    <message>
        <source>&amp;Open plan...</source>
        <translation>打开计划(&amp;O)...</translation>
    </message>
    <message>
        <source>Open a l&amp;ine...</source>
        <translation>打开产线(&amp;I)...</translation>
    </message>
    <message>
        <source>A line of a record several benches share, as velmora-cli line load made it</source>
        <translation>多个工作台共用的记录库中的一条产线，由 velmora-cli line load 创建</translation>
    </message>
    <message>
        <source>&amp;Save plan</source>
        <translation>保存计划(&amp;S)</translation>
    </message>
    <message>
        <source>Save plan &amp;as...</source>
        <translation>计划另存为(&amp;A)...</translation>
    </message>
    <message>
        <source>&amp;Export report...</source>
        <translation>导出报告(&amp;E)...</translation>
    </message>
    <message>
        <source>P&amp;rint report...</source>
        <translation>打印报告(&amp;R)...</translation>
    </message>
    <message>
        <source>Print &amp;labels...</source>
        <translation>打印标签(&amp;L)...</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>退出(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Find...</source>
        <translation>查找(&amp;F)...</translation>
    </message>
    <message>
        <source>Fill &amp;down</source>
        <translation>向下填充(&amp;D)</translation>
    </message>
    <message>
        <source>The first selected cell of each column into the others selected below it</source>
        <translation>将每列选中的第一个单元格填入其下方选中的单元格</translation>
    </message>
    <message>
        <source>R&amp;un</source>
        <translation>运行(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>视图(&amp;V)</translation>
    </message>
    <message>
        <source>Lanes of the last session left out: %1</source>
        <translation>上次会话中未恢复的通道：%1</translation>
    </message>
    <message>
        <source>A run is going on</source>
        <translation>正在运行</translation>
    </message>
    <message>
        <source>Stop the run and close? The devices being written are finished and recorded first; no other device is begun while this is asked.</source>
        <translation>停止运行并关闭窗口吗？正在写入的设备会先完成并记录；询问期间不会开始新的设备。</translation>
    </message>
    <message>
        <source>a run is going on</source>
        <translation>正在运行</translation>
    </message>
    <message>
        <source>%1 - Velmora Bench</source>
        <translation>%1 - Velmora Bench</translation>
    </message>
    <message>
        <source>Record the run in</source>
        <translation>本次运行记录到</translation>
    </message>
    <message>
        <source>Logs (*.csv);;All files (*)</source>
        <translation>日志 (*.csv);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Open a plan</source>
        <translation>打开计划</translation>
    </message>
    <message>
        <source>Plans (*.csv);;All files (*)</source>
        <translation>计划 (*.csv);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Save the plan</source>
        <translation>保存计划</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>已保存 %1</translation>
    </message>
    <message>
        <source>Save the plan as</source>
        <translation>计划另存为</translation>
    </message>
    <message>
        <source>Open a plan first</source>
        <translation>请先打开计划</translation>
    </message>
    <message numerus="yes">
        <source>The plan has %n problem(s): see the list under it</source>
        <translation>
            <numerusform>计划有 %n 个错误：见下方列表</numerusform>
        </translation>
    </message>
    <message>
        <source>Add a lane first</source>
        <translation>请先添加通道</translation>
    </message>
    <message>
        <source>The line&apos;s record is being opened</source>
        <translation>正在打开产线的记录库</translation>
    </message>
    <message>
        <source>Provisions the rows not done yet (Ctrl+R)</source>
        <translation>配置尚未完成的行（Ctrl+R）</translation>
    </message>
    <message>
        <source>Not in the plan: %1</source>
        <translation>计划中没有：%1</translation>
    </message>
    <message numerus="yes">
        <source>Filled %n cell(s)</source>
        <translation>
            <numerusform>已填充 %n 个单元格</numerusform>
        </translation>
    </message>
    <message>
        <source>Select cells of a column to fill down, the value at the top</source>
        <translation>请选中一列中的单元格再向下填充，最上方为要填的值</translation>
    </message>
    <message>
        <source>Line</source>
        <translation>产线</translation>
    </message>
    <message>
        <source>record unreachable since %1; waiting</source>
        <translation>自 %1 起无法连接记录库；等待中</translation>
    </message>
    <message>
        <source>record reachable again</source>
        <translation>记录库已恢复连接</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message numerus="yes">
        <source>The plan has %n problem(s); the first: %1</source>
        <translation>
            <numerusform>计划有 %n 个错误；第一个：%1</numerusform>
        </translation>
    </message>
    <message>
        <source>Add a lane first: a port a device is connected to</source>
        <translation>请先添加通道：即连接设备的端口</translation>
    </message>
    <message>
        <source>The plan is not saved: not started</source>
        <translation>计划尚未保存：未开始</translation>
    </message>
    <message>
        <source>The run has ended. Close the window?</source>
        <translation>运行已结束。关闭窗口吗？</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>报告</translation>
    </message>
    <message>
        <source>Operator, as the report names who ran the bench:</source>
        <translation>操作员（报告中记载的工作台操作人）：</translation>
    </message>
    <message>
        <source>Export the report</source>
        <translation>导出报告</translation>
    </message>
    <message>
        <source>PDF (*.pdf)</source>
        <translation>PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Wrote %1 and %2</source>
        <translation>已写入 %1 和 %2</translation>
    </message>
    <message>
        <source>Print the report</source>
        <translation>打印报告</translation>
    </message>
    <message>
        <source>Print labels</source>
        <translation>打印标签</translation>
    </message>
    <message>
        <source>Save the labels as</source>
        <translation>标签另存为</translation>
    </message>
    <message numerus="yes">
        <source>Wrote %n label(s) to %1</source>
        <translation>
            <numerusform>已将 %n 张标签写入 %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Bench::LabelDialog</name>
    <message>
        <source>Print labels</source>
        <translation>打印标签</translation>
    </message>
    <message numerus="yes">
        <source>&amp;Every row done ok: %n label(s)</source>
        <translation>
            <numerusform>所有成功的行(&amp;E)：%n 张标签</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The se&amp;lected rows done ok: %n label(s)</source>
        <translation>
            <numerusform>选中的成功行(&amp;L)：%n 张标签</numerusform>
        </translation>
    </message>
    <message>
        <source>Save as &amp;PDF...</source>
        <translation>保存为 PDF(&amp;P)...</translation>
    </message>
    <message>
        <source>P&amp;rint...</source>
        <translation>打印(&amp;R)...</translation>
    </message>
    <message>
        <source>&amp;Sheet:</source>
        <translation>纸张(&amp;S)：</translation>
    </message>
    <message>
        <source>No row is done ok yet: labels are for provisioned devices.</source>
        <translation>还没有成功的行：标签只为已配置的设备打印。</translation>
    </message>
</context>
<context>
    <name>Bench::Labels</name>
    <message>
        <source>A4 sheet, 3 × 8 labels of 70 × 36 mm</source>
        <translation>A4 纸，3 × 8 张 70 × 36 mm 标签</translation>
    </message>
    <message>
        <source>62 mm roll, labels 29 mm long</source>
        <translation>62 mm 卷纸，标签长 29 mm</translation>
    </message>
</context>
<context>
    <name>Bench::LanePanel</name>
    <message>
        <source>Port to add</source>
        <translation>要添加的端口</translation>
    </message>
    <message>
        <source>A serial port of this machine, a saved COMn, or a device path typed in</source>
        <translation>本机的串口、已保存的 COMn，或手动输入的设备路径</translation>
    </message>
    <message>
        <source>/dev/ttyUSB0, COM3, ...</source>
        <translation>/dev/ttyUSB0、COM3……</translation>
    </message>
    <message>
        <source>&amp;Add lane</source>
        <translation>添加通道(&amp;A)</translation>
    </message>
    <message>
        <source>Refres&amp;h</source>
        <translation>刷新(&amp;H)</translation>
    </message>
    <message>
        <source>Looks for serial ports again</source>
        <translation>重新查找串口</translation>
    </message>
    <message>
        <source>serial %1</source>
        <translation>序列号 %1</translation>
    </message>
    <message>
        <source> (saved; device not present)</source>
        <translation>（已保存；设备不在线）</translation>
    </message>
    <message>
        <source>saved mapping</source>
        <translation>已保存的映射</translation>
    </message>
    <message>
        <source>Choose a port or type a device path</source>
        <translation>请选择端口或输入设备路径</translation>
    </message>
    <message>
        <source>%1: that device is lane %2 already</source>
        <translation>%1：该设备已是通道 %2</translation>
    </message>
    <message>
        <source>cannot start the simulated device: %1</source>
        <translation>无法启动模拟设备：%1</translation>
    </message>
    <message>
        <source>idle</source>
        <translation>空闲</translation>
    </message>
</context>
<context>
    <name>Bench::LaneView</name>
    <message>
        <source>Lane %1</source>
        <translation>通道 %1</translation>
    </message>
    <message>
        <source>idle</source>
        <translation>空闲</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>下一台</translation>
    </message>
    <message>
        <source>Next device on %1</source>
        <translation>%1 上的下一台设备</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>跳过</translation>
    </message>
    <message>
        <source>Skip this row on %1</source>
        <translation>在 %1 上跳过此行</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
    <message>
        <source>Remove lane %1</source>
        <translation>移除通道 %1</translation>
    </message>
</context>
<context>
    <name>Bench::LanguageMenu</name>
    <message>
        <source>&amp;Language</source>
        <translation>语言(&amp;L)</translation>
    </message>
    <message>
        <source>System</source>
        <translation>跟随系统</translation>
    </message>
    <message>
        <source>Velmora Bench speaks %1 from its next start</source>
        <translation>Velmora Bench 下次启动时将使用 %1</translation>
    </message>
</context>
<context>
    <name>Bench::LineController</name>
    <message>
        <source>A run is going on</source>
        <translation>正在运行</translation>
    </message>
    <message>
        <source>Opening line %1 of %2...</source>
        <translation>正在打开记录库 %2 中的产线 %1……</translation>
    </message>
    <message>
        <source>line %1 of %2</source>
        <translation>记录库 %2 中的产线 %1</translation>
    </message>
    <message>
        <source>Record: line %1 of %2, this bench station %3</source>
        <translation>记录库：%2 中的产线 %1，本工作台为工位 %3</translation>
    </message>
    <message>
        <source>line %1: %2 of %3 ok, %4 on this bench (%5)</source>
        <translation>产线 %1：%3 台中 %2 台成功，本工作台 %4 台（%5）</translation>
    </message>
    <message>
        <source>Opening line %1 for station %2...</source>
        <translation>正在为工位 %2 打开产线 %1……</translation>
    </message>
    <message numerus="yes">
        <source>%n verdict(s) from the journal set down: %1</source>
        <translation>
            <numerusform>已将本地日志中的 %n 条结果写入记录库：%1</numerusform>
        </translation>
    </message>
    <message>
        <source>record unreachable since %1; waiting up to %2 s (%3)</source>
        <translation>自 %1 起无法连接记录库；最多等待 %2 秒（%3）</translation>
    </message>
</context>
<context>
    <name>Bench::LineMonitor</name>
    <message>
        <source>Line monitor</source>
        <translation>串口监视</translation>
    </message>
    <message>
        <source>Lane shown</source>
        <translation>显示的通道</translation>
    </message>
    <message>
        <source>All lanes</source>
        <translation>所有通道</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>复制(&amp;C)</translation>
    </message>
    <message>
        <source>Copies the selected lines, or all lines shown</source>
        <translation>复制选中的行，未选中时复制显示的所有行</translation>
    </message>
    <message>
        <source>C&amp;lear</source>
        <translation>清空(&amp;L)</translation>
    </message>
    <message>
        <source>Frames on the line</source>
        <translation>串口上的数据帧</translation>
    </message>
</context>
<context>
    <name>Bench::NewPlanDialog</name>
    <message>
        <source>New plan</source>
        <translation>新建计划</translation>
    </message>
    <message>
        <source>First row</source>
        <translation>首行</translation>
    </message>
    <message>
        <source>Fixed</source>
        <translation>固定</translation>
    </message>
    <message>
        <source>First value of %1</source>
        <translation>%1 的起始值</translation>
    </message>
    <message>
        <source>%1 the same in every row</source>
        <translation>每行的 %1 相同</translation>
    </message>
    <message>
        <source>Rows</source>
        <translation>行数</translation>
    </message>
    <message>
        <source>&amp;Rows</source>
        <translation>行数(&amp;R)</translation>
    </message>
    <message>
        <source>Preview of the plan</source>
        <translation>计划预览</translation>
    </message>
    <message>
        <source>row %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>... %1 rows in all</source>
        <translation>……共 %1 行</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>Save the plan as</source>
        <translation>计划另存为</translation>
    </message>
    <message>
        <source>Plans (*.csv);;All files (*)</source>
        <translation>计划 (*.csv);;所有文件 (*)</translation>
    </message>
</context>
<context>
    <name>Bench::OpenLineDialog</name>
    <message>
        <source>Open a line</source>
        <translation>打开产线</translation>
    </message>
    <message>
        <source>The shared record: a PostgreSQL address. Its password comes from ~/.pgpass, PGPASSFILE or PGPASSWORD, never from here.</source>
        <translation>共用的记录库：一个 PostgreSQL 地址。密码取自 ~/.pgpass、PGPASSFILE 或 PGPASSWORD，不在此处输入。</translation>
    </message>
    <message>
        <source>The line, as velmora-cli line load named it</source>
        <translation>产线名称，即 velmora-cli line load 所用的名称</translation>
    </message>
    <message>
        <source>This bench&apos;s name among the line&apos;s stations; empty for the host name</source>
        <translation>本工作台在产线工位中的名称；留空则使用主机名</translation>
    </message>
    <message>
        <source>&amp;Record:</source>
        <translation>记录库(&amp;R)：</translation>
    </message>
    <message>
        <source>&amp;Line:</source>
        <translation>产线(&amp;L)：</translation>
    </message>
    <message>
        <source>&amp;Station:</source>
        <translation>工位(&amp;S)：</translation>
    </message>
</context>
<context>
    <name>Bench::Output</name>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>this build of Qt has no print support</source>
        <translation>此版本的 Qt 不支持打印</translation>
    </message>
    <message>
        <source>cannot write %1: this build of Qt has no PDF writer; print instead</source>
        <translation>无法写入 %1：此版本的 Qt 不能生成 PDF；请改用打印</translation>
    </message>
    <message>
        <source>the printer %1 failed</source>
        <translation>打印机 %1 出错</translation>
    </message>
</context>
<context>
    <name>Bench::PlanSession</name>
    <message>
        <source>Record: %1</source>
        <translation>日志：%1</translation>
    </message>
    <message>
        <source> - this run writes to it</source>
        <translation> - 本次运行写入此日志</translation>
    </message>
    <message>
        <source> (new)</source>
        <translation>（新建）</translation>
    </message>
    <message>
        <source> - all %1 rows ok in it: nothing left to provision</source>
        <translation> - 其中 %1 行全部成功：没有需要配置的行</translation>
    </message>
    <message>
        <source> - no row ok in it yet: Start provisions every row</source>
        <translation> - 其中还没有成功的行：“开始”将配置所有行</translation>
    </message>
    <message>
        <source> - %1 of %2 rows ok in it: Start resumes, they are not provisioned again</source>
        <translation> - 其中 %2 行中 %1 行已成功：“开始”将继续，已成功的行不再配置</translation>
    </message>
</context>
<context>
    <name>Bench::PlanTable</name>
    <message>
        <source>line %1 of %2</source>
        <translation>记录库 %2 中的产线 %1</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Device holds</source>
        <translation>设备实际值</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>工位</translation>
    </message>
    <message>
        <source>header, column %1: %2</source>
        <translation>表头第 %1 列：%2</translation>
    </message>
    <message>
        <source>row %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>row %1, %2: %3</source>
        <translation>第 %1 行，%2：%3</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>mismatch</source>
        <translation>不一致</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>被拒绝</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>无应答</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>已跳过</translation>
    </message>
    <message>
        <source>writing</source>
        <translation>写入中</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>a line&apos;s plan is the record&apos;s: it was checked and loaded with velmora-cli line load</source>
        <translation>产线的计划保存在记录库中：它已由 velmora-cli line load 检查并载入</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>claimed on %1</source>
        <translation>已由 %1 领取</translation>
    </message>
    <message>
        <source>in progress on %1</source>
        <translation>%1 上进行中</translation>
    </message>
    <message>
        <source>ok (earlier run)</source>
        <translation>成功（之前的运行）</translation>
    </message>
    <message>
        <source>ok on %1 at %2, in an earlier run</source>
        <translation>之前的运行中于 %2 在 %1 上成功</translation>
    </message>
    <message>
        <source>%1 on %2 of station %3 at %4 in %5 ms%6</source>
        <translation>%1：工位 %3 的 %2，%4，用时 %5 ms%6</translation>
    </message>
    <message>
        <source>%1 on %2 in %3 ms%4</source>
        <translation>%1：%2，用时 %3 ms%4</translation>
    </message>
</context>
<context>
    <name>Bench::Report</name>
    <message>
        <source>not done</source>
        <translation>未完成</translation>
    </message>
    <message>
        <source>in doubt: the run stopped while writing it</source>
        <translation>待确认：写入时运行已停止</translation>
    </message>
    <message>
        <source>%1 rows: %2 ok, %3 mismatch, %4 refused, %5 no answer, %6 skipped, %7 left</source>
        <translation>共 %1 行：成功 %2，不一致 %3，被拒绝 %4，无应答 %5，已跳过 %6，剩余 %7</translation>
    </message>
    <message>
        <source>Row</source>
        <translation>行</translation>
    </message>
    <message>
        <source>Id</source>
        <translation>Id</translation>
    </message>
    <message>
        <source>Asked: %1</source>
        <translation>写入值：%1</translation>
    </message>
    <message>
        <source>Read back: %1</source>
        <translation>回读值：%1</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Time (UTC)</source>
        <translation>时间（UTC）</translation>
    </message>
    <message>
        <source>Station: port</source>
        <translation>工位：端口</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>none yet</source>
        <translation>尚无</translation>
    </message>
    <message>
        <source>Plan</source>
        <translation>计划</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>日志</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>工位</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>操作员</translation>
    </message>
    <message>
        <source>Software</source>
        <translation>软件</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>运行</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 至 %2</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>汇总</translation>
    </message>
    <message>
        <source>Velmora Bench: report of %1</source>
        <translation>Velmora Bench：%1 的报告</translation>
    </message>
    <message>
        <source>Velmora Bench: report of %1, continued</source>
        <translation>Velmora Bench：%1 的报告（续）</translation>
    </message>
    <message>
        <source>Every row above is as the log records it. Checked by:</source>
        <translation>以上各行均与日志记录一致。核对人：</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>姓名</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>日期</translation>
    </message>
    <message>
        <source>Signature</source>
        <translation>签名</translation>
    </message>
    <message>
        <source>page %1 of %2</source>
        <translation>第 %1 页，共 %2 页</translation>
    </message>
</context>
<context>
    <name>Bench::RunController</name>
    <message>
        <source>Connect %1, then Next</source>
        <translation>请连接 %1，然后点“下一台”</translation>
    </message>
    <message>
        <source>device %1 of %2</source>
        <translation>第 %1 台设备（共 %2 台）</translation>
    </message>
    <message>
        <source>idle</source>
        <translation>空闲</translation>
    </message>
    <message>
        <source>waiting for %1 (row %2)</source>
        <translation>等待 %1（第 %2 行）</translation>
    </message>
    <message>
        <source>done: unplug the device</source>
        <translation>完成：请拔下设备</translation>
    </message>
    <message>
        <source>reading %1</source>
        <translation>正在读取 %1</translation>
    </message>
    <message>
        <source>closed: no more devices on it</source>
        <translation>已关闭：此通道不再配置设备</translation>
    </message>
    <message>
        <source>port lost: waiting for it to come back</source>
        <translation>端口断开：等待其恢复</translation>
    </message>
    <message>
        <source>writing</source>
        <translation>写入中</translation>
    </message>
    <message>
        <source>verifying</source>
        <translation>校验中</translation>
    </message>
    <message>
        <source>reading</source>
        <translation>读取中</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>%1 ok, %2 mismatch, %3 refused, %4 no answer, %5 skipped, %6 left</source>
        <translation>成功 %1，不一致 %2，被拒绝 %3，无应答 %4，已跳过 %5，剩余 %6</translation>
    </message>
    <message>
        <source>; %1 devices/min</source>
        <translation>；%1 台/分钟</translation>
    </message>
    <message>
        <source>, %1 left</source>
        <translation>，剩余 %1</translation>
    </message>
</context>
<context>
    <name>Bench::RunSession</name>
    <message>
        <source>%1: the last run stopped while writing a device on %2; add the lane %3 so that it is read first (its row might otherwise go to two devices)</source>
        <translation>%1：上次运行在 %2 上写入设备时停止；请添加通道 %3 以便先读取它（否则该行可能被写入两台设备）</translation>
    </message>
</context>
<context>
    <name>Cli::Batch</name>
    <message>
        <source>record unreachable since %1; waiting up to %2 s (%3)</source>
        <translation>自 %1 起无法连接记录库；最多等待 %2 秒（%3）</translation>
    </message>
    <message>
        <source>--port %1: that device has a --port already (%2)</source>
        <translation>--port %1：该设备已由另一个 --port 指定（%2）</translation>
    </message>
    <message numerus="yes">
        <source>%n verdicts from the journal set down: %1</source>
        <translation>
            <numerusform>已将本地日志中的 %n 条结果写入记录库：%1</numerusform>
        </translation>
    </message>
    <message>
        <source>cannot catch SIGINT and SIGTERM: they stop the batch at once</source>
        <translation>无法捕获 SIGINT 和 SIGTERM：收到时批量运行将立即停止</translation>
    </message>
    <message>
        <source>%1: the last run stopped while writing a device on %2; run with --port %3 so that it is read first (its row might otherwise go to two devices)</source>
        <translation>%1：上次运行在 %2 上写入设备时停止；请加上 --port %3 运行，先读取该设备（否则其所在行可能被配置到两台设备）</translation>
    </message>
    <message numerus="yes">
        <source>the record could not be reached: %n verdicts are kept in %1, and the next run of station %2 on line %3 sets them down first</source>
        <translation>
            <numerusform>无法连接记录库：%n 条结果保存在 %1 中，产线 %3 上工位 %2 的下一次运行会先将其写入记录库</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Cli::CommandLine</name>
    <message>
        <source>give COM%1 to COM%2, a device path (/dev/ttyUSB0) or COMn=DEVICE</source>
        <translation>请指定 COM%1 到 COM%2、设备路径（/dev/ttyUSB0）或 COMn=DEVICE</translation>
    </message>
    <message>
        <source>--port %1: %2; %3</source>
        <translation>--port %1：%2；%3</translation>
    </message>
    <message>
        <source>not a port of the list</source>
        <translation>不在端口列表中</translation>
    </message>
    <message>
        <source>not a port name</source>
        <translation>不是端口名称</translation>
    </message>
    <message>
        <source> (%1?)</source>
        <translation>（是否为 %1？）</translation>
    </message>
    <message>
        <source>plan needs --count N</source>
        <translation>plan 需要 --count N</translation>
    </message>
    <message>
        <source>--count %1: expected a number from 1 to %2</source>
        <translation>--count %1：应为 1 到 %2 之间的数字</translation>
    </message>
    <message>
        <source>batch --record takes its plan from the line: %1</source>
        <translation>batch --record 的计划取自产线：%1</translation>
    </message>
    <message>
        <source>batch takes --log or --record, not both</source>
        <translation>batch 只能使用 --log 或 --record 之一，不能同时使用</translation>
    </message>
    <message>
        <source>batch --record: the line was checked when it was loaded</source>
        <translation>batch --record：产线在载入时已检查过</translation>
    </message>
    <message>
        <source>batch --record needs --line NAME</source>
        <translation>batch --record 需要 --line NAME</translation>
    </message>
    <message>
        <source>--record-wait %1: expected seconds from 0 to %2</source>
        <translation>--record-wait %1：应为 0 到 %2 秒</translation>
    </message>
    <message>
        <source>batch needs a PLAN.csv</source>
        <translation>batch 需要一个 PLAN.csv</translation>
    </message>
    <message>
        <source>batch takes one plan: %1</source>
        <translation>batch 只接受一个计划：%1</translation>
    </message>
    <message>
        <source>batch needs --log LOG.csv, its record, or --record URL --line NAME</source>
        <translation>batch 需要 --log LOG.csv（其日志），或 --record URL --line NAME</translation>
    </message>
    <message>
        <source>--%1 goes with batch --record</source>
        <translation>--%1 只能与 batch --record 一起使用</translation>
    </message>
    <message>
        <source>batch takes --auto or --no-prompt, not both</source>
        <translation>batch 只能使用 --auto 或 --no-prompt 之一，不能同时使用</translation>
    </message>
    <message>
        <source>--port-wait %1: expected seconds from 0 to %2</source>
        <translation>--port-wait %1：应为 0 到 %2 秒</translation>
    </message>
    <message>
        <source>line needs one of %1</source>
        <translation>line 需要以下命令之一：%1</translation>
    </message>
    <message>
        <source>unknown line command %1; they are %2</source>
        <translation>未知的 line 命令 %1；可用的命令：%2</translation>
    </message>
    <message>
        <source>--%1 does not go with line %2</source>
        <translation>--%1 不能与 line %2 一起使用</translation>
    </message>
    <message>
        <source>line %1 talks to no device: --%2 does not go with it</source>
        <translation>line %1 不与设备通信：--%2 不能与其一起使用</translation>
    </message>
    <message>
        <source>line %1 needs --record URL</source>
        <translation>line %1 需要 --record URL</translation>
    </message>
    <message>
        <source>line %1 needs --line NAME</source>
        <translation>line %1 需要 --line NAME</translation>
    </message>
    <message>
        <source>line load needs a PLAN.csv</source>
        <translation>line load 需要一个 PLAN.csv</translation>
    </message>
    <message>
        <source>line load takes one plan: %1</source>
        <translation>line load 只接受一个计划：%1</translation>
    </message>
    <message>
        <source>--allow-reuse %1: the keys a device is known by are %2</source>
        <translation>--allow-reuse %1：用于识别设备的键为 %2</translation>
    </message>
    <message>
        <source>line resolve needs the ROW, a number from 1</source>
        <translation>line resolve 需要 ROW，即从 1 开始的行号</translation>
    </message>
    <message>
        <source>line resolve needs --as ok (the device holds the row) or --as free (it does not)</source>
        <translation>line resolve 需要 --as ok（设备已写入该行）或 --as free（设备未写入该行）</translation>
    </message>
    <message>
        <source>line %1 takes no arguments: %2</source>
        <translation>line %1 不接受参数：%2</translation>
    </message>
    <message>
        <source>no command given; the commands are %1</source>
        <translation>未指定命令；可用的命令：%1</translation>
    </message>
    <message>
        <source>unknown command %1; the commands are %2</source>
        <translation>未知命令 %1；可用的命令：%2</translation>
    </message>
    <message>
        <source>--simulate connects COM1 to a simulated device: it does not go with --port</source>
        <translation>--simulate 将 COM1 连接到模拟设备：不能与 --port 一起使用</translation>
    </message>
    <message>
        <source>--timeout %1: expected milliseconds from 1 to %2</source>
        <translation>--timeout %1：应为 1 到 %2 毫秒</translation>
    </message>
    <message>
        <source>--retries %1: expected a number from 0 to %2</source>
        <translation>--retries %1：应为 0 到 %2 之间的数字</translation>
    </message>
    <message>
        <source>read, ports and scan</source>
        <translation>read、ports 和 scan</translation>
    </message>
    <message>
        <source>read and set-all</source>
        <translation>read 和 set-all</translation>
    </message>
    <message>
        <source>set and set-all</source>
        <translation>set 和 set-all</translation>
    </message>
    <message>
        <source>batch and line</source>
        <translation>batch 和 line</translation>
    </message>
    <message>
        <source>%1 goes with %2, not with %3</source>
        <translation>%1 只能与 %2 一起使用，不能与 %3 一起使用</translation>
    </message>
    <message>
        <source>read takes --json or --profile, not both</source>
        <translation>read 只能使用 --json 或 --profile 之一，不能同时使用</translation>
    </message>
    <message>
        <source>plan talks to no device: --%1 does not go with it</source>
        <translation>plan 不与设备通信：--%1 不能与其一起使用</translation>
    </message>
    <message>
        <source>%1 takes no arguments: %2</source>
        <translation>%1 不接受参数：%2</translation>
    </message>
    <message>
        <source>ports sends nothing: --timeout and --retries go with the commands that do</source>
        <translation>ports 不发送任何数据：--timeout 和 --retries 只用于发送数据的命令</translation>
    </message>
    <message>
        <source>set needs at least one KEY=VALUE</source>
        <translation>set 至少需要一个 KEY=VALUE</translation>
    </message>
</context>
<context>
    <name>Cli::Line</name>
    <message>
        <source>the record has no line yet: load one with velmora-cli line load</source>
        <translation>记录库中还没有产线：请用 velmora-cli line load 载入</translation>
    </message>
    <message>
        <source>warning: %1</source>
        <translation>警告：%1</translation>
    </message>
    <message>
        <source>record unreachable since %1; waiting</source>
        <translation>自 %1 起无法连接记录库；等待中</translation>
    </message>
    <message>
        <source>record reachable again</source>
        <translation>记录库已恢复连接</translation>
    </message>
    <message>
        <source>line %1, row %2: ok</source>
        <translation>产线 %1，第 %2 行：成功</translation>
    </message>
    <message>
        <source>line %1, row %2: free for another device</source>
        <translation>产线 %1，第 %2 行：已释放，可配置给其他设备</translation>
    </message>
</context>
<context>
    <name>Cli::Ports</name>
    <message>
        <source>no serial port found; is the adapter plugged in? (dmesg says what the system made of it)</source>
        <translation>未找到串口；适配器是否已插上？（dmesg 可显示系统识别的情况）</translation>
    </message>
    <message>
        <source>no USB serial adapter or mapped COM port to scan; --all scans every serial port</source>
        <translation>没有可扫描的 USB 串口适配器或已映射的 COM 端口；--all 会扫描所有串口</translation>
    </message>
</context>
<context>
    <name>Cli::Run</name>
    <message numerus="yes">
        <source>%n byte(s) came after their deadline and were dropped: is the device slower than --timeout %1?</source>
        <translation>
            <numerusform>%n 个字节在超时后到达，已丢弃：设备是否慢于 --timeout %1？</numerusform>
        </translation>
    </message>
    <message>
        <source>cannot start the simulated device: %1</source>
        <translation>无法启动模拟设备：%1</translation>
    </message>
</context>
<context>
    <name>Client::Values</name>
    <message>
        <source>expected four numbers 0 to 255 joined by dots</source>
        <translation>应为以点分隔的四个 0 到 255 之间的数</translation>
    </message>
    <message>
        <source>expected six hex pairs joined by &apos;:&apos; or &apos;-&apos;</source>
        <translation>应为以“:”或“-”分隔的六组十六进制数</translation>
    </message>
    <message>
        <source>expected two hex pairs joined by &apos;:&apos; or &apos;-&apos;</source>
        <translation>应为以“:”或“-”分隔的两组十六进制数</translation>
    </message>
    <message>
        <source>expected a whole number from 0 to %1</source>
        <translation>应为 0 到 %1 之间的整数</translation>
    </message>
    <message>
        <source>%1: only set-all writes %2</source>
        <translation>%1：只有 set-all 才能写入 %2</translation>
    </message>
    <message>
        <source>%1: longer than %2 characters</source>
        <translation>%1：超过 %2 个字符</translation>
    </message>
    <message>
        <source>%1: empty; %2</source>
        <translation>%1：为空；%2</translation>
    </message>
    <message>
        <source>%1: expected KEY=VALUE</source>
        <translation>%1：应为 KEY=VALUE 格式</translation>
    </message>
    <message>
        <source>%1: unknown key %2; the keys are %3</source>
        <translation>%1：未知的键 %2；可用的键为 %3</translation>
    </message>
    <message>
        <source>%1: %2 is given twice</source>
        <translation>%1：%2 重复给出</translation>
    </message>
</context>
<context>
    <name>InProcessPort</name>
    <message>
        <source>already open</source>
        <translation>已经打开</translation>
    </message>
    <message>
        <source>unsupported open mode</source>
        <translation>不支持的打开方式</translation>
    </message>
</context>
<context>
    <name>Line::Load</name>
    <message>
        <source>the record has a line %1 already: give the new one another name</source>
        <translation>记录库中已有产线 %1：请为新产线另取名称</translation>
    </message>
    <message>
        <source>%1:%2: %3=%4: line %5 gives it already, in row %6 (--allow-reuse %3 allows it)</source>
        <translation>%1:%2: %3=%4：产线 %5 的第 %6 行已使用该值（--allow-reuse %3 可允许）</translation>
    </message>
    <message>
        <source>%1: %2 more collisions</source>
        <translation>%1：另有 %2 处重复</translation>
    </message>
    <message>
        <source>line %1: %2 rows loaded from %3</source>
        <translation>产线 %1：已从 %3 载入 %2 行</translation>
    </message>
</context>
<context>
    <name>Line::Names</name>
    <message>
        <source>%1 %2: a name is 1 to %3 letters, digits and . _ -, beginning with a letter or a digit</source>
        <translation>%1 %2：名称须为 1 到 %3 个字母、数字或 . _ -，并以字母或数字开头</translation>
    </message>
    <message>
        <source>station (the host name)</source>
        <translation>工位（主机名）</translation>
    </message>
    <message>
        <source>; give --station NAME</source>
        <translation>；请指定 --station NAME</translation>
    </message>
</context>
<context>
    <name>Line::Record</name>
    <message>
        <source>cannot reach the record at %1: %2</source>
        <translation>无法连接 %1 上的记录库：%2</translation>
    </message>
    <message>
        <source>%1 holds no record yet: make it with velmora-cli line init</source>
        <translation>%1 中还没有记录库：请用 velmora-cli line init 创建</translation>
    </message>
    <message>
        <source>the record is of version %1, older than this program&apos;s %2: bring it up to date with velmora-cli line init</source>
        <translation>记录库的版本为 %1，低于本程序的 %2：请用 velmora-cli line init 升级</translation>
    </message>
    <message>
        <source>%1: cannot make its folder</source>
        <translation>%1：无法创建其所在文件夹</translation>
    </message>
    <message>
        <source>%1: in use by another run of this station</source>
        <translation>%1：正被本工位的另一次运行使用</translation>
    </message>
    <message>
        <source>the record has no line %1</source>
        <translation>记录库中没有产线 %1</translation>
    </message>
    <message>
        <source>line %1 has the key %2, which this program does not know</source>
        <translation>产线 %1 含有本程序不认识的键 %2</translation>
    </message>
    <message>
        <source>line %1 has no row %2</source>
        <translation>产线 %1 没有第 %2 行</translation>
    </message>
    <message>
        <source>station %1 is running on %2: give this one another --station</source>
        <translation>工位 %1 正在 %2 上运行：请用 --station 为本工位另取名称</translation>
    </message>
    <message>
        <source>%1: station %2 was started again elsewhere</source>
        <translation>%1：工位 %2 已在别处重新启动</translation>
    </message>
    <message>
        <source>line %1: %2 of %3 rows ok</source>
        <translation>产线 %1：%3 行中 %2 行成功</translation>
    </message>
    <message>
        <source>%1: station %2 was started again elsewhere while the record could not be reached</source>
        <translation>%1：无法连接记录库期间，工位 %2 已在别处重新启动</translation>
    </message>
    <message>
        <source>the record is of version %1, newer than this program&apos;s %2: use a newer velmora-cli</source>
        <translation>记录库的版本为 %1，高于本程序的 %2：请使用更新版本的 velmora-cli</translation>
    </message>
    <message>
        <source>the record is of version %1 already</source>
        <translation>记录库已是版本 %1</translation>
    </message>
    <message>
        <source>made the record, version %1</source>
        <translation>已创建记录库，版本 %1</translation>
    </message>
    <message>
        <source>brought the record from version %1 to %2</source>
        <translation>已将记录库从版本 %1 升级到 %2</translation>
    </message>
    <message>
        <source>1 standby</source>
        <translation>1 台备用服务器</translation>
    </message>
    <message>
        <source>%1 standbys</source>
        <translation>%1 台备用服务器</translation>
    </message>
    <message>
        <source>the record&apos;s server has %1 and no synchronous one: a failover may lose rows set down as being written, and their rows could go to two devices; make one synchronous (synchronous_standby_names, synchronous_commit = on; see docs/line.md)</source>
        <translation>记录库的服务器有 %1，但没有同步备用服务器：故障切换可能丢失已记为写入中的行，这些行可能被配置到两台设备；请将其中一台设为同步（synchronous_standby_names、synchronous_commit = on；见 docs/line.md）</translation>
    </message>
    <message>
        <source>%1 is on two devices: the record lost its writing on %2 at %3, and gave it to station %4, %5 at %6. Check both devices, clear one of them, then: velmora-cli line resolve %7 --as ok|free</source>
        <translation>%1 已写入两台设备：记录库丢失了它 %3 在 %2 上的写入记录，并把它交给了工位 %4 的 %5（%6 写入）。请检查这两台设备，清除其中一台，然后执行：velmora-cli line resolve %7 --as ok|free</translation>
    </message>
    <message>
        <source>line %1, row %2: %3</source>
        <translation>产线 %1，第 %2 行：%3</translation>
    </message>
    <message>
        <source>line %1 at %2</source>
        <translation>产线 %1（%2）</translation>
    </message>
    <message>
        <source>row %1</source>
        <translation>第 %1 行</translation>
    </message>
    <message>
        <source>%1 on %2: settled by someone else meanwhile; %3 not taken</source>
        <translation>%1（%2）：期间已由他人判定；未采用 %3</translation>
    </message>
    <message>
        <source>%1 on %2: %3</source>
        <translation>%1（%2）：%3</translation>
    </message>
</context>
<context>
    <name>Line::RecordAddress</name>
    <message>
        <source>the password goes in ~/.pgpass, PGPASSFILE or PGPASSWORD, never on the command line</source>
        <translation>密码应放在 ~/.pgpass、PGPASSFILE 或 PGPASSWORD 中，不能写在命令行上</translation>
    </message>
    <message>
        <source>--record: the address holds a password; %1</source>
        <translation>--record：地址中含有密码；%1</translation>
    </message>
    <message>
        <source>--record: the address holds %1; %2</source>
        <translation>--record：地址中含有 %1；%2</translation>
    </message>
    <message>
        <source>--record: %1 holds a &apos;;&apos;, which cannot be passed on</source>
        <translation>--record：%1 中含有“;”，无法传递</translation>
    </message>
</context>
<context>
    <name>Line::Status</name>
    <message>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 小时 %2 分钟</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 分钟 %2 秒</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>line %1: %2 rows: %3 ok, %4 free, %5 claimed, %6 being written, %7 failed</source>
        <translation>产线 %1：共 %2 行：成功 %3，空闲 %4，已领取 %5，写入中 %6，失败 %7</translation>
    </message>
    <message>
        <source>pace: %1 devices/min; %2 left, time left: %3</source>
        <translation>节拍：%1 台/分钟；剩余 %2 行，预计剩余时间：%3</translation>
    </message>
    <message>
        <source>%1 %2: %3 ok, %4 failed%5%6</source>
        <translation>%1 %2：成功 %3，失败 %4%5%6</translation>
    </message>
    <message>
        <source>, %1 being written</source>
        <translation>，写入中 %1</translation>
    </message>
    <message>
        <source> (station gone)</source>
        <translation>（工位已离线）</translation>
    </message>
    <message>
        <source>%1 rows in doubt (check the device, then: velmora-cli line resolve ROW --as ok|free):</source>
        <translation>%1 行待确认（请检查设备，然后执行：velmora-cli line resolve ROW --as ok|free）：</translation>
    </message>
    <message>
        <source>row %1%2: station %3, %4, since %5</source>
        <translation>第 %1 行%2：工位 %3，%4，自 %5 起</translation>
    </message>
    <message>
        <source> (%1)</source>
        <translation>（%1）</translation>
    </message>
    <message>
        <source>row %1%2: on two devices: station %3, %4 at %5 (the record lost it), and station %6, %7 at %8</source>
        <translation>第 %1 行%2：在两台设备上：工位 %3，%4，%5 写入（记录库已丢失），以及工位 %6，%7，%8 写入</translation>
    </message>
</context>
<context>
    <name>Link::Phrases</name>
    <message>
        <source>not a serial port</source>
        <translation>不是串口</translation>
    </message>
    <message>
        <source>a folder, not a serial port</source>
        <translation>是文件夹，不是串口</translation>
    </message>
    <message>
        <source>a file, not a serial port</source>
        <translation>是文件，不是串口</translation>
    </message>
    <message>
        <source>no such device (not plugged in?)</source>
        <translation>没有此设备（未插入？）</translation>
    </message>
    <message>
        <source>no such serial port (not plugged in?)</source>
        <translation>没有此串口（未插入？）</translation>
    </message>
    <message>
        <source>in use by %1</source>
        <translation>正被 %1 占用</translation>
    </message>
    <message>
        <source>another program</source>
        <translation>另一个程序</translation>
    </message>
    <message>
        <source>serial ports belong to the group dialout: sudo adduser &quot;$USER&quot; dialout, then log in again</source>
        <translation>串口属于 dialout 组：执行 sudo adduser &quot;$USER&quot; dialout，然后重新登录</translation>
    </message>
    <message>
        <source>cannot open: %1</source>
        <translation>无法打开：%1</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>无应答</translation>
    </message>
    <message>
        <source>verify: %1 of %2 values differ</source>
        <translation>校验：%2 个值中有 %1 个不一致</translation>
    </message>
    <message>
        <source>%1 refused: %2</source>
        <translation>%1 被拒绝：%2</translation>
    </message>
    <message>
        <source>no clean answer to %1 after %2 frame(s): %3</source>
        <translation>发送 %2 帧后 %1 仍无完整应答：%3</translation>
    </message>
    <message>
        <source>more bytes came than a refusal has (a late answer on the line?)</source>
        <translation>收到的字节多于拒绝应答的长度（线路上有迟到的应答？）</translation>
    </message>
    <message>
        <source>more bytes came than a block has (a late answer on the line?)</source>
        <translation>收到的字节多于参数块的长度（线路上有迟到的应答？）</translation>
    </message>
    <message>
        <source>the block holds values no device has (read out of place?)</source>
        <translation>参数块中的值不可能来自设备（读取错位？）</translation>
    </message>
    <message>
        <source>line failed during %1: %2</source>
        <translation>%1 期间线路故障：%2</translation>
    </message>
    <message>
        <source>no answer to %1 after %2 frame(s)</source>
        <translation>发送 %2 帧后 %1 无应答</translation>
    </message>
    <message>
        <source>the line is not open</source>
        <translation>线路未打开</translation>
    </message>
    <message>
        <source>the line did not go quiet for %1 ms: something else is sending on it</source>
        <translation>线路 %1 毫秒内未静默：有其他设备在发送</translation>
    </message>
    <message>
        <source>the line hung up</source>
        <translation>线路已挂断</translation>
    </message>
    <message>
        <source>%1: wrote %2, device has %3</source>
        <translation>%1：写入 %2，设备中为 %3</translation>
    </message>
    <message>
        <source>%1 byte(s) came after their deadline and were dropped</source>
        <translation>%1 个字节超时到达，已丢弃</translation>
    </message>
    <message>
        <source>port lost</source>
        <translation>端口已断开</translation>
    </message>
    <message>
        <source>after the last run stopped: %1</source>
        <translation>上次运行中断后：%1</translation>
    </message>
    <message>
        <source>its device may hold this row</source>
        <translation>其设备可能已写入此行</translation>
    </message>
    <message>
        <source>its device holds this row</source>
        <translation>其设备已写入此行</translation>
    </message>
    <message>
        <source>not written: %1</source>
        <translation>未写入：%1</translation>
    </message>
    <message>
        <source>; </source>
        <translation>；</translation>
    </message>
</context>
<context>
    <name>Link::PortMap</name>
    <message>
        <source>cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <source>; velmora-cli ports lists the serial ports present</source>
        <translation>；velmora-cli ports 可列出现有的串口</translation>
    </message>
    <message>
        <source>check the cable, the device&apos;s power and that this is its port (velmora-cli scan finds it)</source>
        <translation>请检查线缆、设备电源，以及这是否是该设备的端口（velmora-cli scan 可找到它）</translation>
    </message>
    <message>
        <source>--port %1: expected COMn=DEVICE</source>
        <translation>--port %1：应为 COMn=DEVICE</translation>
    </message>
    <message>
        <source>--port %1: %2 is not a port of the list, COM%3 to COM%4</source>
        <translation>--port %1：%2 不在端口列表 COM%3 到 COM%4 中</translation>
    </message>
</context>
<context>
    <name>TerminalPrompt</name>
    <message>
        <source>answer Enter, s or q</source>
        <translation>请输入 Enter、s 或 q</translation>
    </message>
    <message>
        <source>stdin has ended: stopping</source>
        <translation>标准输入已结束：停止</translation>
    </message>
</context>
<context>
    <name>Web</name>
    <message>
        <source>--listen %1: not an address and port such as 127.0.0.1:8080</source>
        <translation>--listen %1：不是地址和端口，应形如 127.0.0.1:8080</translation>
    </message>
    <message>
        <source>%1 is not the loopback: give --tls-cert and --tls-key, or --insecure-http to serve plain HTTP that anyone on the network can read</source>
        <translation>%1 不是本机回环地址：请给出 --tls-cert 和 --tls-key，或用 --insecure-http 以明文 HTTP 提供服务（网络上任何人都能读取）</translation>
    </message>
    <message>
        <source>wrong role or password</source>
        <translation>角色或密码错误</translation>
    </message>
    <message>
        <source>the record cannot be reached</source>
        <translation>无法连接记录库</translation>
    </message>
    <message>
        <source>%1 is not a role of this record</source>
        <translation>%1 不是本记录库的角色</translation>
    </message>
    <message>
        <source>%1: a whole number from %2 to %3</source>
        <translation>%1：应为 %2 到 %3 之间的整数</translation>
    </message>
</context>
<context>
    <name>Web::Main</name>
    <message>
        <source>Serves a line&apos;s record to browsers and to the factory&apos;s systems: every line live, a device&apos;s record by its MAC, LIP, SN or id, and an HTTP API (/api/v1/). The password of --record&apos;s role comes from ~/.pgpass, PGPASSFILE or PGPASSWORD; the role should be a member of velmora_viewer, which can only read.</source>
        <translation>为浏览器和工厂系统提供产线记录库：实时查看每条产线，按 MAC、LIP、SN 或 id 查找设备记录，并提供 HTTP API（/api/v1/）。--record 角色的密码取自 ~/.pgpass、PGPASSFILE 或 PGPASSWORD；该角色应属于只读的 velmora_viewer。</translation>
    </message>
    <message>
        <source>The record: a libpq URI or key=value string.</source>
        <translation>记录库：libpq URI 或 key=value 字符串。</translation>
    </message>
    <message>
        <source>The address and port to listen on (default 127.0.0.1:8080; port 0 takes a free one).</source>
        <translation>监听的地址和端口（默认 127.0.0.1:8080；端口 0 表示任取一个空闲端口）。</translation>
    </message>
    <message>
        <source>Serve HTTPS with this certificate (PEM).</source>
        <translation>用此证书（PEM）提供 HTTPS。</translation>
    </message>
    <message>
        <source>The certificate&apos;s private key (PEM).</source>
        <translation>证书的私钥（PEM）。</translation>
    </message>
    <message>
        <source>Serve plain HTTP on an address other than the loopback.</source>
        <translation>在本机回环以外的地址上提供明文 HTTP。</translation>
    </message>
    <message>
        <source>Viewing needs a login too (any role of the record).</source>
        <translation>查看也需要登录（记录库的任一角色）。</translation>
    </message>
    <message>
        <source>velmora-web: --record is needed</source>
        <translation>velmora-web：需要 --record</translation>
    </message>
    <message>
        <source>velmora-web: --tls-cert and --tls-key need a PEM certificate and its key</source>
        <translation>velmora-web：--tls-cert 和 --tls-key 需要 PEM 证书及其私钥</translation>
    </message>
    <message>
        <source>velmora-web: cannot listen on %1:%2</source>
        <translation>velmora-web：无法监听 %1:%2</translation>
    </message>
    <message>
        <source>velmora-web: warning: serving plain HTTP beyond the loopback (--insecure-http): logins and the record can be read on the network</source>
        <translation>velmora-web：警告：在本机回环以外提供明文 HTTP（--insecure-http）：登录信息和记录库内容可在网络上被读取</translation>
    </message>
    <message>
        <source>velmora-web: serving the record at %1 on %2://%3:%4/</source>
        <translation>velmora-web：在 %2://%3:%4/ 提供记录库 %1</translation>
    </message>
</context>
<context>
    <name>Web::WebServer</name>
    <message>
        <source>the role of --record can change the record: give velmora-web a role that only reads (GRANT velmora_viewer TO ...)</source>
        <translation>--record 的角色能修改记录库：请给 velmora-web 一个只读角色（GRANT velmora_viewer TO ...）</translation>
    </message>
    <message>
        <source>the record cannot be reached</source>
        <translation>无法连接记录库</translation>
    </message>
    <message>
        <source>the record could not answer: %1</source>
        <translation>记录库无法应答：%1</translation>
    </message>
    <message>
        <source>no such page</source>
        <translation>没有此页面</translation>
    </message>
    <message>
        <source>the address is too long</source>
        <translation>地址过长</translation>
    </message>
    <message>
        <source>the headers are too large</source>
        <translation>请求头过大</translation>
    </message>
    <message>
        <source>the request is too large</source>
        <translation>请求过大</translation>
    </message>
    <message>
        <source>only GET here</source>
        <translation>此处只接受 GET</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>没有此文件</translation>
    </message>
    <message>
        <source>send JSON (Content-Type: application/json)</source>
        <translation>请发送 JSON（Content-Type: application/json）</translation>
    </message>
    <message>
        <source>POST to log in</source>
        <translation>登录请用 POST</translation>
    </message>
    <message>
        <source>POST to log out</source>
        <translation>退出登录请用 POST</translation>
    </message>
    <message>
        <source>the request lacks this session&apos;s CSRF token</source>
        <translation>请求缺少本会话的 CSRF 令牌</translation>
    </message>
    <message>
        <source>log in to see the record</source>
        <translation>请登录后查看记录库</translation>
    </message>
    <message>
        <source>no such line</source>
        <translation>没有此产线</translation>
    </message>
    <message>
        <source>q: a device&apos;s id, LIP, MAC, SN or its label&apos;s text</source>
        <translation>q：设备的 id、LIP、MAC、SN 或其标签上的文字</translation>
    </message>
    <message>
        <source>no such line: %1</source>
        <translation>没有此产线：%1</translation>
    </message>
    <message>
        <source>POST to settle a row</source>
        <translation>确认行请用 POST</translation>
    </message>
    <message>
        <source>no such route</source>
        <translation>没有此路径</translation>
    </message>
    <message>
        <source>state: free, claimed, writing, ok or failed</source>
        <translation>state：free、claimed、writing、ok 或 failed</translation>
    </message>
    <message>
        <source>result: ok, mismatch, refused, no-answer or skipped</source>
        <translation>result：ok、mismatch、refused、no-answer 或 skipped</translation>
    </message>
    <message>
        <source>since: a time such as 2026-12-09T05:00:00Z</source>
        <translation>since：时间，形如 2026-12-09T05:00:00Z</translation>
    </message>
    <message>
        <source>after: an attempt&apos;s id, a whole number</source>
        <translation>after：一次尝试的 id，为整数</translation>
    </message>
    <message>
        <source>too many failed logins: try again in %1 minutes</source>
        <translation>登录失败次数过多：请 %1 分钟后再试</translation>
    </message>
    <message>
        <source>log in as a planner to settle a row</source>
        <translation>确认行需以计划员身份登录</translation>
    </message>
    <message>
        <source>%1 is not a planner (velmora_planner)</source>
        <translation>%1 不是计划员（velmora_planner）</translation>
    </message>
    <message>
        <source>row: a row&apos;s number</source>
        <translation>row：行号</translation>
    </message>
    <message>
        <source>as: ok (the device holds the row) or free (it does not)</source>
        <translation>as：ok（设备已写入该行）或 free（未写入）</translation>
    </message>
</context>
<context>
    <name>WebPage</name>
    <message>
        <source>Velmora: a device&apos;s record</source>
        <translation>Velmora：设备记录</translation>
    </message>
    <message>
        <source>Log in</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>Log out</source>
        <translation>退出登录</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>A device&apos;s record</source>
        <translation>设备记录</translation>
    </message>
    <message>
        <source>MAC, LIP, SN, id, or scan its label</source>
        <translation>MAC、LIP、SN、id，或扫描设备标签</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>查找</translation>
    </message>
    <message>
        <source>No device of any line has that key.</source>
        <translation>所有产线中都没有该键值的设备。</translation>
    </message>
    <message>
        <source>Line</source>
        <translation>产线</translation>
    </message>
    <message>
        <source>Row</source>
        <translation>行</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>工位</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Values asked</source>
        <translation>计划值</translation>
    </message>
    <message>
        <source>Every attempt</source>
        <translation>全部尝试</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>详情</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>毫秒</translation>
    </message>
    <message>
        <source>Read back</source>
        <translation>回读值</translation>
    </message>
    <message>
        <source>Log in with your PostgreSQL role</source>
        <translation>用您的 PostgreSQL 角色登录</translation>
    </message>
    <message>
        <source>Role</source>
        <translation>角色</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>logged in as %1</source>
        <translation>已登录：%1</translation>
    </message>
    <message>
        <source>planner</source>
        <translation>计划员</translation>
    </message>
    <message>
        <source>could not log in</source>
        <translation>无法登录</translation>
    </message>
    <message>
        <source>row %1</source>
        <translation>第 %1 行</translation>
    </message>
    <message>
        <source>Velmora: lines</source>
        <translation>Velmora：产线</translation>
    </message>
    <message>
        <source>MAC, LIP, SN or id</source>
        <translation>MAC、LIP、SN 或 id</translation>
    </message>
    <message>
        <source>Find a device</source>
        <translation>查找设备</translation>
    </message>
    <message>
        <source>Lines</source>
        <translation>产线</translation>
    </message>
    <message>
        <source>connecting…</source>
        <translation>正在连接…</translation>
    </message>
    <message>
        <source>Rows</source>
        <translation>行数</translation>
    </message>
    <message>
        <source>Ok %</source>
        <translation>成功率 %</translation>
    </message>
    <message>
        <source>Devices a minute</source>
        <translation>每分钟台数</translation>
    </message>
    <message>
        <source>Stations working</source>
        <translation>工作中的工位</translation>
    </message>
    <message>
        <source>In doubt</source>
        <translation>待确认</translation>
    </message>
    <message>
        <source>The record has no line yet: load one with velmora-cli line load.</source>
        <translation>记录库中还没有产线：请用 velmora-cli line load 导入。</translation>
    </message>
    <message>
        <source>live</source>
        <translation>实时</translation>
    </message>
    <message>
        <source>not live: reconnecting…</source>
        <translation>连接中断：正在重连…</translation>
    </message>
    <message>
        <source>Velmora: a line</source>
        <translation>Velmora：产线</translation>
    </message>
    <message>
        <source>time left:</source>
        <translation>剩余时间：</translation>
    </message>
    <message>
        <source>yield</source>
        <translation>良率</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>Free</source>
        <translation>空闲</translation>
    </message>
    <message>
        <source>Claimed</source>
        <translation>已领取</translation>
    </message>
    <message>
        <source>Being written</source>
        <translation>写入中</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>Devices a minute, last hour</source>
        <translation>每分钟台数（最近一小时）</translation>
    </message>
    <message>
        <source>Failures by cause</source>
        <translation>失败原因</translation>
    </message>
    <message>
        <source>Count</source>
        <translation>次数</translation>
    </message>
    <message>
        <source>Cumulative %</source>
        <translation>累计 %</translation>
    </message>
    <message>
        <source>Stations</source>
        <translation>工位</translation>
    </message>
    <message>
        <source>Lanes</source>
        <translation>通道</translation>
    </message>
    <message>
        <source>Last verdict</source>
        <translation>最近结果</translation>
    </message>
    <message>
        <source>Rows in doubt</source>
        <translation>待确认的行</translation>
    </message>
    <message>
        <source>Check the device, then settle the row: ok if the device holds it, free to write it again. Needs a planner&apos;s login.</source>
        <translation>请检查设备，然后确认该行：设备已写入则选“成功”，需重新写入则选“空闲”。需要计划员登录。</translation>
    </message>
    <message>
        <source>Id</source>
        <translation>Id</translation>
    </message>
    <message>
        <source>Since</source>
        <translation>开始时间</translation>
    </message>
    <message>
        <source>id, LIP, MAC or SN</source>
        <translation>id、LIP、MAC 或 SN</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>any state</source>
        <translation>任意状态</translation>
    </message>
    <message>
        <source>free</source>
        <translation>空闲</translation>
    </message>
    <message>
        <source>claimed</source>
        <translation>已领取</translation>
    </message>
    <message>
        <source>writing</source>
        <translation>写入中</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>any result</source>
        <translation>任意结果</translation>
    </message>
    <message>
        <source>mismatch</source>
        <translation>不一致</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>被拒绝</translation>
    </message>
    <message>
        <source>no-answer</source>
        <translation>无应答</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>已跳过</translation>
    </message>
    <message>
        <source>station</source>
        <translation>工位</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>显示</translation>
    </message>
    <message>
        <source>CSV (line export)</source>
        <translation>CSV（line export）</translation>
    </message>
    <message>
        <source>LIP</source>
        <translation>LIP</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>SN</source>
        <translation>SN</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>上一页</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>下一页</translation>
    </message>
    <message>
        <source>%1 of %2 ok</source>
        <translation>%2 行中 %1 行成功</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>%1–%2 of %3</source>
        <translation>第 %1–%2 条，共 %3 条</translation>
    </message>
    <message>
        <source>Settle row %1 as %2?</source>
        <translation>将第 %1 行确认为“%2”？</translation>
    </message>
    <message>
        <source>ok devices</source>
        <translation>成功台数</translation>
    </message>
    <message>
        <source>%1 min ago</source>
        <translation>%1 分钟前</translation>
    </message>
    <message>
        <source>now</source>
        <translation>现在</translation>
    </message>
    <message>
        <source>working</source>
        <translation>工作中</translation>
    </message>
    <message>
        <source>waiting for the record</source>
        <translation>等待记录库</translation>
    </message>
    <message>
        <source>lease run out</source>
        <translation>租约已过期</translation>
    </message>
    <message>
        <source>No such line.</source>
        <translation>没有此产线。</translation>
    </message>
    <message>
        <source>The plan&apos;s rows</source>
        <translation>计划各行</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 小时 %2 分</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 分 %2 秒</translation>
    </message>
</context>
</TS>
