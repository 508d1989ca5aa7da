#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "engine/tag_rename.h"
#include "tests/shared/internal_error_recorder.h"
#include "tests/shared/literal_rename.h"

namespace {

struct RenameCase {
  const char* name;
  bool restore;
  std::string before;
  std::string after;  // equal to before when nothing may change
};

// Runs the four passes over a copy of the text; returns it with the result.
std::pair<std::string, bool> Rename(std::string text, bool restore) {
  auto* bytes = reinterpret_cast<unsigned char*>(text.data());
  const bool changed = RenameTags(bytes, nullptr, static_cast<uint32_t>(text.size()), restore);
  return {text, changed};
}

const std::vector<RenameCase>& RenameCases() {
  using namespace std::string_literals;
  static const std::vector<RenameCase> cases = {
      // What a Remove run renames, boundary byte kept.
      {"all four names", false, "<AppOverride x><App a=\"1\"></App></AppOverride>",
       "<KVELDORIMAX x><KVE a=\"1\"></KVE></KVELDORIMAX>"},
      {"any case of the name", false, "<appoverride ><APPOVERRIDE><aPpOvErRiDe>",
       "<KVELDORIMAX ><KVELDORIMAX><KVELDORIMAX>"},
      {"back to back", false, "<App><App>", "<KVE><KVE>"},
      {"only space or > ends a name", false, "<AppOverrides><Apple ><App/><App\t><App\n><App\r></App/>",
       "<AppOverrides><Apple ><App/><App\t><App\n><App\r></App/>"},
      {"space after < or a namespace prefix", false, "< App ><ns:App ></ns:App>", "< App ><ns:App ></ns:App>"},
      {"name as the last bytes", false, "xx<App", "xx<App"},
      {"name one byte before the end", false, "<App>", "<KVE>"},
      {"shorter than a name and its boundary", false, "<Ap", "<Ap"},
      {"empty", false, "", ""},
      {"inside comments and attribute values too", false, "<!-- <App > --><x a=\"<App>\"/>",
       "<!-- <KVE > --><x a=\"<KVE>\"/>"},
      {"UTF-16 never matches", false, "<\0A\0p\0p\0 \0"s, "<\0A\0p\0p\0 \0"s},
      {"a NUL inside the name never matches", false, "<Ap\0 <App "s, "<Ap\0 <KVE "s},
      {"bytes of 0x80 and above never fold", false, "<\xC1pp ><App\xA0", "<\xC1pp ><App\xA0"},
      {"markers are left alone", false, "<KVELDORIMAX ><KVE><AppOverride>", "<KVELDORIMAX ><KVE><KVELDORIMAX>"},
      // What a Restore run renames.
      {"restore writes the mixed-case names", true, "<KVELDORIMAX x><KVE a=\"1\"></KVE></KVELDORIMAX>",
       "<AppOverride x><App a=\"1\"></App></AppOverride>"},
      {"restore matches markers in any case", true, "<kveldorimax><Kve >", "<AppOverride><App >"},
      {"short marker never matches inside a long one", true, "<KVELDORIMAX ", "<AppOverride "},
      {"restore leaves element names alone", true, "<App ><KVE>", "<App ><App>"},
      {"restore of content without markers", true, "<AppOverride><App>", "<AppOverride><App>"},
  };
  return cases;
}

TEST(RenameTags, RenamesExactlyTheNamesTheRuleSelects) {
  for (const RenameCase& c : RenameCases()) {
    SCOPED_TRACE(c.name);
    const auto [after, changed] = Rename(c.before, c.restore);
    EXPECT_EQ(after, c.after);
    EXPECT_EQ(changed, c.after != c.before);
    EXPECT_EQ(after.size(), c.before.size());
  }
}

TEST(RenameTags, RemoveThenRestoreGivesTheElementNamesBackInTheirStoredCase) {
  const std::string original = "<apPoverride><app x=\"1\"></APP></appOverride>";
  const auto [removed, removedChanged] = Rename(original, false);
  ASSERT_TRUE(removedChanged);
  EXPECT_FALSE(Rename(removed, false).second) << "a second Remove finds nothing";
  const auto [restored, restoredChanged] = Rename(removed, true);
  ASSERT_TRUE(restoredChanged);
  EXPECT_EQ(restored, "<AppOverride><App x=\"1\"></App></AppOverride>");
}

TEST(RenameTagPass, MismatchedLengthsRaiseTheBoxAndLeaveTheBuffer) {
  std::string text = "<App ><App>";
  const int boxesBefore = InternalErrorBoxesShown();
  auto* bytes = reinterpret_cast<unsigned char*>(text.data());
  EXPECT_FALSE(RenameTagPass(bytes, nullptr, static_cast<uint32_t>(text.size()), "<APP", "<KV"));
  EXPECT_FALSE(RenameTagPass(bytes, nullptr, 0, "<APP", "<KVEX"));
  EXPECT_EQ(InternalErrorBoxesShown(), boxesBefore + 2) << "every pass checks, even on an empty buffer";
  EXPECT_EQ(text, "<App ><App>");
}

TEST(RenameTagPass, EachPassAppliesOneRowOnly) {
  std::string text = "<AppOverride ></AppOverride><App ></App>";
  auto* bytes = reinterpret_cast<unsigned char*>(text.data());
  const auto size = static_cast<uint32_t>(text.size());
  EXPECT_TRUE(RenameTagPass(bytes, nullptr, size, "</APP", "</KVE"));
  EXPECT_EQ(text, "<AppOverride ></AppOverride><App ></KVE>");
  EXPECT_FALSE(RenameTagPass(bytes, nullptr, size, "</APP", "</KVE"));
}

TEST(MatchTagUpper, ComparesFoldedBytesAsSigned) {
  struct Row {
    const char* buffer;
    const char* pattern;
    size_t count;
    int expected;
  };
  const Row rows[] = {
      {"<app", "<APP", 4, 0}, {"<APPX", "<APP", 4, 0}, {"<ABP", "<APP", 4, -1},
      {"<AZP", "<APP", 4, 1}, {"<A", "<APP", 4, -1},   {"<APP", "<AP", 4, 1},
      {"<AP", "<AP", 4, 0},   {"\x80", "A", 1, -1},    {"x", "Z", 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.buffer);
    EXPECT_EQ(MatchTagUpper(reinterpret_cast<const unsigned char*>(row.buffer), row.pattern, row.count), row.expected);
  }
}

TEST(RenameTags, AgreesWithTheLiteralRuleOnRealisticContent) {
  // Long content where candidates sit at every distance from each other and
  // from the end of the buffer.
  std::string text;
  const char* pieces[] = {"<App ", "<app>",  "</APP>", "<AppOverride ",  "</appoverride>", "<KVE ", "<Ap", "<<App>",
                          "x",     "<Apps ", "\n",     "</KVELDORIMAX>", "<KVELDORIMAX "};
  for (unsigned i = 0; i < 5000; ++i) {
    text += pieces[(i * 7919u) % std::size(pieces)];
  }
  for (size_t cut = text.size() - 40; cut <= text.size(); ++cut) {
    for (bool restore : {false, true}) {
      std::string fast = text.substr(0, cut);
      std::string model = fast;
      const auto size = static_cast<uint32_t>(cut);
      const bool fastChanged = RenameTags(reinterpret_cast<unsigned char*>(fast.data()), nullptr, size, restore);
      const bool modelChanged = literal::AllPasses(reinterpret_cast<unsigned char*>(model.data()), size, restore);
      ASSERT_EQ(fast, model) << "cut " << cut << " restore " << restore;
      ASSERT_EQ(fastChanged, modelChanged);
    }
  }
}

}  // namespace
