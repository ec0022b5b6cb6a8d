#pragma once

// Makes Utils::InfoMsg and Utils::ErrorMsg show modal message boxes while the
// program runs with a display and a desktop application object.
void installMessageBoxes();
