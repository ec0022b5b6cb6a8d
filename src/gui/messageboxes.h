#pragma once

// Makes Utils::InfoMsg and Utils::ErrorMsg show modal message boxes while the
// program runs with a display and a desktop application object.
void installMessageBoxes();

struct CheckError;

// Logs a check's failure, without a box: the report window, the popup or the notification shows it.
// Offline at log-on, the start-up box has said enough already.
void noteCheckFailure(const CheckError &error);
