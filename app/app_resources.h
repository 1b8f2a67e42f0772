#pragma once
// What every program built on the window sets up before it: the identity the settings store and
// the titles use, and the icons, which are compiled into a static library.
void set_app_identity();
void init_app_resources();
