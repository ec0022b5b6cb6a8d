#pragma once

// The steps of a run after the switches: discovery of the installed products,
// then one check presented in the chosen mode.
void discoverInstalledProducts();
void runConsoleMode();
void runDesktopMode(bool tray);
