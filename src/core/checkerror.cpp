#include "core/checkerror.h"

#include "core/logger.h"
#include "core/utils.h"

void reportCheckError(const CheckError &error)
{
    if (!error.failed())
        return;
    Logger::instance()->Print(Severity::Error, error.message);
    Utils::ErrorMsg(error.title, error.message, nullptr);
}
