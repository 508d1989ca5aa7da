// A program whose image holds the words of a manifest that asks for the
// highest rights, outside its manifest: the release check must read the
// manifest resource itself, not search the image for its words.
#include <cstring>

int main() {
  static const char words[] = "<requestedExecutionLevel level=\"highestAvailable\" uiAccess=\"false\"/>";
  const char* volatile kept = words;
  return static_cast<int>(std::strlen(kept));
}
