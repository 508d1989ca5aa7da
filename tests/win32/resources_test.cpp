// Reads the compiled resources back out of the built Zelquist.exe and checks
// them field by field: what the window, the taskbar, the loader and the file's
// properties will get.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/platform.h"
#include "res/resource.h"

namespace {

constexpr WORD kEnglishUk = 2057;
constexpr WORD kEnglishUs = 1033;

class Executable {
 public:
  Executable() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    for (int up = 0; up < 3; ++up) {
      path.resize(path.rfind(L'\\'));
    }
    path_ = path + L"\\Zelquist.exe";
    module_ = ::LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  ~Executable() { ::FreeLibrary(module_); }
  Executable(const Executable&) = delete;
  Executable& operator=(const Executable&) = delete;

  HMODULE Module() const { return module_; }
  const std::wstring& Path() const { return path_; }

  std::vector<unsigned char> Bytes(LPCWSTR type, LPCWSTR name) const {
    HRSRC found = ::FindResourceW(module_, name, type);
    if (!found) {
      return {};
    }
    const auto* data = static_cast<const unsigned char*>(::LockResource(::LoadResource(module_, found)));
    return {data, data + ::SizeofResource(module_, found)};
  }

 private:
  std::wstring path_;
  HMODULE module_ = nullptr;
};

// Reads a resource's little-endian fields in order, DWORD-aligning on request.
class Reader {
 public:
  explicit Reader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
  template <typename T>
  T Read() {
    T value{};
    if (at_ + sizeof(T) <= bytes_.size()) {
      std::memcpy(&value, bytes_.data() + at_, sizeof(T));
    }
    at_ += sizeof(T);
    return value;
  }
  std::wstring String() {
    std::wstring text;
    for (wchar_t c = Read<wchar_t>(); c != 0 && at_ <= bytes_.size(); c = Read<wchar_t>()) {
      text += c;
    }
    return text;
  }
  // A name or an ordinal: "" for none, "#N" for ordinal N.
  std::wstring NameOrOrdinal() {
    const WORD first = Read<WORD>();
    if (first == 0) {
      return L"";
    }
    if (first == 0xFFFF) {
      return L"#" + std::to_wstring(Read<WORD>());
    }
    at_ -= sizeof(WORD);
    return String();
  }
  void Align(size_t to) { at_ = (at_ + to - 1) / to * to; }
  size_t At() const { return at_; }
  void Seek(size_t at) { at_ = at; }

 private:
  const std::vector<unsigned char>& bytes_;
  size_t at_ = 0;
};

BOOL CALLBACK CollectType(HMODULE, LPWSTR type, LONG_PTR found) {
  reinterpret_cast<std::set<ULONG_PTR>*>(found)->insert(reinterpret_cast<ULONG_PTR>(type));
  return TRUE;
}
BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
  reinterpret_cast<std::set<ULONG_PTR>*>(found)->insert(reinterpret_cast<ULONG_PTR>(name));
  return TRUE;
}
BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
  reinterpret_cast<std::set<WORD>*>(found)->insert(language);
  return TRUE;
}

TEST(Resources, HoldExactlyTheListedResourcesInTheirLanguages) {
  Executable exe;
  ASSERT_TRUE(exe.Module()) << "cannot load the built Zelquist.exe";

  std::set<ULONG_PTR> types;
  ::EnumResourceTypesW(exe.Module(), &CollectType, reinterpret_cast<LONG_PTR>(&types));
  EXPECT_EQ(types, (std::set<ULONG_PTR>{3, 5, 14, 16, 24})) << "icons, dialog, icon groups, version, manifest only";

  struct Row {
    ULONG_PTR type;
    std::set<ULONG_PTR> names;
    WORD language;
  };
  std::set<ULONG_PTR> icons;
  for (ULONG_PTR id = 1; id <= 16; ++id) {
    icons.insert(id);
  }
  const Row rows[] = {
      {5, {IDD_MAIN}, kEnglishUk}, {14, {IDI_MAIN_LARGE, IDI_MAIN_SMALL}, kEnglishUs},
      {3, icons, kEnglishUs},      {16, {1}, kEnglishUk},
      {24, {1}, kEnglishUs},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type);
    const auto type = MAKEINTRESOURCEW(row.type);
    std::set<ULONG_PTR> names;
    ::EnumResourceNamesW(exe.Module(), type, &CollectName, reinterpret_cast<LONG_PTR>(&names));
    EXPECT_EQ(names, row.names);
    for (ULONG_PTR name : row.names) {
      std::set<WORD> languages;
      ::EnumResourceLanguagesW(exe.Module(), type, MAKEINTRESOURCEW(name), &CollectLanguage,
                               reinterpret_cast<LONG_PTR>(&languages));
      EXPECT_EQ(languages, std::set<WORD>{row.language}) << "resource " << name;
    }
  }
}

TEST(Resources, DialogTemplateBuildsTheMainWindow) {
  Executable exe;
  const std::vector<unsigned char> bytes = exe.Bytes(MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(IDD_MAIN));
  ASSERT_FALSE(bytes.empty());
  Reader r(bytes);
  EXPECT_EQ(r.Read<WORD>(), 1);  // DIALOGEX version
  EXPECT_EQ(r.Read<WORD>(), 0xFFFF);
  EXPECT_EQ(r.Read<DWORD>(), 0u);  // help ID
  EXPECT_EQ(r.Read<DWORD>(), static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ(r.Read<DWORD>(), 0x80CA00C8u);
  const WORD count = r.Read<WORD>();
  EXPECT_EQ(count, 6);
  EXPECT_EQ(r.Read<short>(), 0);
  EXPECT_EQ(r.Read<short>(), 0);
  EXPECT_EQ(r.Read<short>(), 345);
  EXPECT_EQ(r.Read<short>(), 215);
  EXPECT_EQ(r.NameOrOrdinal(), L"") << "menu";
  EXPECT_EQ(r.NameOrOrdinal(), L"") << "window class";
  EXPECT_EQ(r.String(), L"Zelquist");
  EXPECT_EQ(r.Read<WORD>(), 8);    // points
  EXPECT_EQ(r.Read<WORD>(), 400);  // weight
  EXPECT_EQ(r.Read<BYTE>(), 0);    // italic
  EXPECT_EQ(r.Read<BYTE>(), 1);    // DEFAULT_CHARSET
  EXPECT_EQ(r.String(), L"MS Shell Dlg");

  struct Control {
    DWORD id;
    const wchar_t* classAtom;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
  };
  const Control expected[] = {
      {0xFFFFFFFF, L"#130", L"Msg", 0x50020000, 0, 7, 7, 331, 55},
      {IDC_LOG, L"#129", L"", 0x50210804, WS_EX_STATICEDGE, 7, 66, 331, 119},
      {IDC_REMOVE, L"#128", L"&Remove mouse application overrides", 0x50010000, 0, 6, 194, 126, 14},
      {IDC_UPDATES, L"#128", L"Up&dates && Source Code", 0x50010000, 0, 190, 194, 93, 14},
      {IDCANCEL, L"#128", L"&Close", 0x50010000, 0, 287, 194, 50, 14},
      {IDC_UNDO, L"#128", L"&Undo", 0x50010000, 0, 136, 194, 50, 14},
  };
  for (const Control& c : expected) {
    SCOPED_TRACE(c.id);
    r.Align(4);
    EXPECT_EQ(r.Read<DWORD>(), 0u) << "help ID";
    EXPECT_EQ(r.Read<DWORD>(), c.exStyle);
    EXPECT_EQ(r.Read<DWORD>(), c.style);
    EXPECT_EQ(r.Read<short>(), c.x);
    EXPECT_EQ(r.Read<short>(), c.y);
    EXPECT_EQ(r.Read<short>(), c.cx);
    EXPECT_EQ(r.Read<short>(), c.cy);
    EXPECT_EQ(r.Read<DWORD>(), c.id);
    EXPECT_EQ(r.NameOrOrdinal(), c.classAtom);
    EXPECT_EQ(r.NameOrOrdinal(), c.text);
    EXPECT_EQ(r.Read<WORD>(), 0) << "creation data";
  }
  EXPECT_EQ(r.At(), bytes.size()) << "nothing after the sixth control";
}

TEST(Resources, IconGroupsHoldTheEightImagesEach) {
  Executable exe;
  struct Image {
    BYTE size, colours;
    WORD bits;
    DWORD bytes;
  };
  const Image images[] = {{32, 16, 4, 744}, {16, 16, 4, 296},  {48, 0, 8, 3752},  {32, 0, 8, 2216},
                          {16, 0, 8, 1384}, {48, 0, 32, 9640}, {32, 0, 32, 4264}, {16, 0, 32, 1128}};
  std::vector<std::vector<unsigned char>> largeImages;
  for (const auto& [group, firstId] : {std::pair<int, WORD>{IDI_MAIN_LARGE, 1}, {IDI_MAIN_SMALL, 9}}) {
    SCOPED_TRACE(group);
    const std::vector<unsigned char> bytes = exe.Bytes(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(group));
    Reader r(bytes);
    EXPECT_EQ(r.Read<WORD>(), 0);
    EXPECT_EQ(r.Read<WORD>(), 1);
    ASSERT_EQ(r.Read<WORD>(), 8);
    for (size_t i = 0; i < std::size(images); ++i) {
      SCOPED_TRACE(i);
      const Image& image = images[i];
      EXPECT_EQ(r.Read<BYTE>(), image.size);
      EXPECT_EQ(r.Read<BYTE>(), image.size);
      EXPECT_EQ(r.Read<BYTE>(), image.colours);
      EXPECT_EQ(r.Read<BYTE>(), 0);
      EXPECT_EQ(r.Read<WORD>(), 1);  // planes
      EXPECT_EQ(r.Read<WORD>(), image.bits);
      EXPECT_EQ(r.Read<DWORD>(), image.bytes);
      const WORD id = r.Read<WORD>();
      EXPECT_EQ(id, firstId + i);

      const std::vector<unsigned char> dib = exe.Bytes(MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(id));
      ASSERT_EQ(dib.size(), image.bytes);
      BITMAPINFOHEADER header{};
      std::memcpy(&header, dib.data(), sizeof header);
      EXPECT_EQ(header.biSize, 40u);
      EXPECT_EQ(header.biWidth, image.size);
      EXPECT_EQ(header.biHeight, 2 * image.size);
      EXPECT_EQ(header.biPlanes, 1);
      EXPECT_EQ(header.biBitCount, image.bits);
      EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
      if (group == IDI_MAIN_LARGE) {
        largeImages.push_back(dib);
      } else {
        EXPECT_EQ(dib, largeImages[i]) << "both groups hold the same images";
      }
    }
  }
}

TEST(Resources, ManifestAsksForTheHighestRightsAndCommonControls6) {
  Executable exe;
  const std::vector<unsigned char> bytes = exe.Bytes(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
  const std::string expected =
      "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
      "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\r\n"
      "    <security>\r\n"
      "      <requestedPrivileges>\r\n"
      "        <requestedExecutionLevel level=\"highestAvailable\" uiAccess=\"false\"/>\r\n"
      "      </requestedPrivileges>\r\n"
      "    </security>\r\n"
      "  </trustInfo>\r\n"
      "  <dependency>\r\n"
      "    <dependentAssembly>\r\n"
      "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
      "processorArchitecture=\"x86\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\r\n"
      "    </dependentAssembly>\r\n"
      "  </dependency>\r\n"
      "</assembly>\r\n";
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
}

// The keys of a version block's StringTable, in stored order, with their values.
std::vector<std::pair<std::wstring, std::wstring>> StringTable(const std::vector<unsigned char>& block,
                                                               std::wstring& tableName) {
  std::vector<std::pair<std::wstring, std::wstring>> strings;
  Reader r(block);
  const auto skipHeader = [&](size_t& end) {
    const size_t start = r.At();
    end = start + r.Read<WORD>();
    r.Read<WORD>();  // value length
    r.Read<WORD>();  // type
    const std::wstring key = r.String();
    r.Align(4);
    return key;
  };
  size_t rootEnd = 0;
  EXPECT_EQ(skipHeader(rootEnd), L"VS_VERSION_INFO");
  r.Seek(r.At() + sizeof(VS_FIXEDFILEINFO));
  r.Align(4);
  size_t fileInfoEnd = 0;
  EXPECT_EQ(skipHeader(fileInfoEnd), L"StringFileInfo");
  size_t tableEnd = 0;
  tableName = skipHeader(tableEnd);
  while (r.At() < tableEnd) {
    r.Align(4);
    size_t end = 0;
    const std::wstring key = skipHeader(end);
    strings.emplace_back(key, r.String());
    r.Seek(end);
  }
  return strings;
}

TEST(Resources, VersionInformationDescribesTheFile) {
  Executable exe;
  const DWORD size = ::GetFileVersionInfoSizeW(exe.Path().c_str(), nullptr);
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(::GetFileVersionInfoW(exe.Path().c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const DWORD expectedFixed[] = {0xFEEF04BD, 0x00010000,     0x00010000, 0x00000001,   0x00010000, 0x00000001, 0x17,
                                 0,          VOS__WINDOWS32, VFT_APP,    VFT2_UNKNOWN, 0,          0};
  EXPECT_EQ(length, sizeof expectedFixed);
  EXPECT_EQ(std::memcmp(fixed, expectedFixed, sizeof expectedFixed), 0);

  std::wstring tableName;
  const auto strings = StringTable(exe.Bytes(MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1)), tableName);
  EXPECT_EQ(tableName, L"080904b0");
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"Comments",
       L"Modifies Halvorn/Corvela's config files to permanently remove the application overrides which "
       L"inexplicably come back after reboot and have done so for at least three years now."},
      {L"CompanyName", L"Zelquist contributors"},
      {L"FileDescription", L"Corvela Application"},
      {L"FileVersion", L"1, 0, 0, 1"},
      {L"InternalName", L"Corvela"},
      {L"LegalCopyright", L"Copyright (C) 2026 Zelquist contributors"},
      {L"OriginalFilename", L"Corvela.exe"},
      {L"ProductName", L"Corvela Application"},
      {L"ProductVersion", L"1, 0, 0, 1"},
  };
  EXPECT_EQ(strings, expected);

  DWORD* translation = nullptr;
  ASSERT_TRUE(
      ::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(*translation, 0x04B00809u) << "language 0x0809, code page 0x04B0";
}

}  // namespace
