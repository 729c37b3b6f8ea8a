#pragma once

// Places the product's entry points for all users, as the user chose on the destination page:
// the Start Menu folder with the program and help shortcuts and the web link, and the desktop
// shortcut. Every failure is silent; the wizard reaches the finish page regardless.
void CreateShortcuts();
