#include "record.h"

namespace Batch {

namespace {

constexpr Result Results[] = {Result::Ok,       Result::Mismatch, Result::Refused,
                              Result::NoAnswer, Result::Skipped,  Result::Writing};

} // namespace

QString resultName(Result result)
{
    switch (result) {
    case Result::Ok:
        return QStringLiteral("ok");
    case Result::Mismatch:
        return QStringLiteral("mismatch");
    case Result::Refused:
        return QStringLiteral("refused");
    case Result::NoAnswer:
        return QStringLiteral("no-answer");
    case Result::Skipped:
        return QStringLiteral("skipped");
    case Result::Writing:
        return QStringLiteral("writing");
    }
    return {};
}

std::optional<Result> resultNamed(QStringView name)
{
    for (Result result : Results) {
        if (resultName(result) == name)
            return result;
    }
    return std::nullopt;
}

} // namespace Batch
