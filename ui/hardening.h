// What the program asks of the system before anything else. It runs with the
// highest rights its user has, started from wherever it was downloaded, over
// folders that any user may have made.
#pragma once

// Each where the system offers it: the DLL search since Windows 8 (and 7 with
// its update KB2533623), the redirection guard since Windows 11 22H2.
void HardenProcess();
