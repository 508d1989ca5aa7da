// The Updates command: the program's home page in the user's browser.
#pragma once

// Opens the home page with the browser that handles web addresses. An
// elevated program asks the desktop's own shell to start it, so that the
// browser runs with the desktop user's ordinary rights rather than ours; where
// that cannot be done (or the program is not elevated), it starts the browser
// itself. Reports nothing: the shell shows its own errors.
void OpenHomePage();
