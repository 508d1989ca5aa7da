// Answers the message boxes that the code under test shows on this thread, and
// records what each one said. A CBT hook sees each box as it is activated, after
// its text is set; the answer is posted to it, so the box's own modal loop
// closes it exactly as a click would.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/platform.h"

struct SeenBox {
  HWND owner = nullptr;
  bool ownerEnabled = true;  // whether the owner could take input while the box was up
  std::wstring caption;
  std::wstring text;
  UINT icon = 0;  // MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION, or 0
  bool hasCancel = false;
};

class BoxResponder {
 public:
  // answers: the buttons to press, in order; IDOK once they run out.
  explicit BoxResponder(std::deque<int> answers = {});
  ~BoxResponder();
  BoxResponder(const BoxResponder&) = delete;
  BoxResponder& operator=(const BoxResponder&) = delete;

  // Runs while each box is on screen, before it is answered.
  void WhileShown(std::function<void(const SeenBox&)> action) { whileShown_ = std::move(action); }
  const std::vector<SeenBox>& Boxes() const { return boxes_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  void OnActivate(HWND box);

  HHOOK hook_ = nullptr;
  std::deque<int> answers_;
  std::vector<SeenBox> boxes_;
  std::vector<HWND> answered_;
  std::function<void(const SeenBox&)> whileShown_;
};
