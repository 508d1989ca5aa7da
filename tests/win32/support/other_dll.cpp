// A DLL that no Windows system has, and a program that needs it: the release
// check must refuse such a program.
#ifdef ZQ_OTHER_DLL
extern "C" __declspec(dllexport) int OtherDllAnswer() { return 0; }
#else
extern "C" __declspec(dllimport) int OtherDllAnswer();
int main() { return OtherDllAnswer(); }
#endif
