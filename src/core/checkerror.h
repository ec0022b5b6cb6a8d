#pragma once

#include <QString>

// Why a check, or one of its steps, failed. Code 0 means it did not fail;
// the other codes are those of Common::ErrorCode. The step that failed only
// returns this; the front end shows, logs and records it (reportCheckError).
struct CheckError
{
    int code = 0;
    QString title; // title of the message box
    QString message; // what the user is told, also the log line

    bool failed() const { return code != 0; }
};

// Logs the failure at Error and shows it (a message box on the desktop, a
// "<<<< ... >>>>" line on the console). Does nothing for an error that did
// not fail.
void reportCheckError(const CheckError &error);
