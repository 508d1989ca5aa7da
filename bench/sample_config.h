// Configuration content shaped like the files the program edits: nested
// settings elements, attribute-heavy lines, and a share of override elements.
#pragma once

#include <cstddef>
#include <string>

inline std::string MakeSampleConfig(size_t size) {
  static const char* const kBlock =
      "  <AppOverride Name=\"WINWORD.EXE\" Path=\"C:\\Program Files\\Office\\WINWORD.EXE\">\r\n"
      "    <App Id=\"1\" Enabled=\"true\">\r\n"
      "      <Button Index=\"3\" Action=\"Back\" Modifier=\"None\" Repeat=\"false\"/>\r\n"
      "      <Button Index=\"4\" Action=\"Forward\" Modifier=\"None\" Repeat=\"false\"/>\r\n"
      "      <Wheel Lines=\"3\" Smooth=\"true\" Tilt=\"Horizontal\" Speed=\"50\"/>\r\n"
      "    </App>\r\n"
      "  </AppOverride>\r\n"
      "  <Device Vendor=\"0x0E21\" Product=\"0x1044\" Serial=\"000000000000\" Name=\"Mouse\">\r\n"
      "    <Pointer Speed=\"10\" Acceleration=\"Medium\" Precision=\"true\"/>\r\n"
      "    <Button Index=\"1\" Action=\"Click\"/>\r\n"
      "    <Button Index=\"2\" Action=\"ContextMenu\"/>\r\n"
      "    <Button Index=\"5\" Action=\"MiddleClick\"/>\r\n"
      "  </Device>\r\n";
  std::string content = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Configuration Version=\"2\">\r\n";
  while (content.size() < size) {
    content += kBlock;
  }
  content.resize(size);
  return content;
}
