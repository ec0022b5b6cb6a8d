#include "app/exitstatus.h"

#include "catalogue/checkreport.h"

int exitStatus(Output output, Outcome outcome)
{
    // A monitoring agent reads the state from the status: 0 OK, 1 WARNING,
    // 2 CRITICAL, 3 UNKNOWN; a check run as the wrong user must not say OK.
    if (output == Output::Plugin) {
        switch (outcome) {
        case Outcome::Done:
        case Outcome::NoUpdates:
            return 0;
        case Outcome::Updates:
            return 1;
        case Outcome::SecurityUpdates:
            return 2;
        default:
            return 3;
        }
    }
    switch (outcome) {
    case Outcome::Updates:
    case Outcome::SecurityUpdates:
        // Scripts tell "updates" from "none" as dnf check-update does.
        return output == Output::Json ? 100 : 0;
    case Outcome::Failed:
    case Outcome::NotWritten:
        return 1;
    case Outcome::UsageError:
        return 2;
    default:
        return 0;
    }
}

Outcome outcomeOf(const CheckReport &report)
{
    if (report.error.failed())
        return Outcome::Failed;
    if (report.products.isEmpty())
        return Outcome::NoProducts;
    if (report.updates.isEmpty())
        return Outcome::NoUpdates;
    return report.securityUpdateCount() > 0 ? Outcome::SecurityUpdates : Outcome::Updates;
}
