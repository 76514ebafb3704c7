#pragma once
// The state of the window's controls as the event handlers see and change it:
// caption, enabled, visible and width, plus the window's own visibility and
// inner width. The Win32 window draws from it and is told of every change, so
// the handlers never touch a window handle and tests can read the same state.
#include <array>
#include <functional>
#include <string>

#include "ui/Layout.h"

namespace norq {

enum class Change { Caption, Enabled, Visible, Width, WindowShown };

class Controls {
 public:
  using Observer = std::function<void(ControlId, Change)>;

  Controls();

  const std::wstring& Caption(ControlId id) const { return at(id).caption; }
  bool Enabled(ControlId id) const { return at(id).enabled; }
  bool Visible(ControlId id) const { return at(id).visible; }
  double Width(ControlId id) const { return at(id).width; }
  double Left(ControlId id) const { return SpecOf(id).left; }

  void SetCaption(ControlId id, std::wstring text);
  void SetEnabled(ControlId id, bool enabled);
  void SetVisible(ControlId id, bool visible);
  void SetWidth(ControlId id, double twips);

  // The window itself: shown once, modeless; its inner width in twips.
  bool WindowShown() const { return windowShown_; }
  void ShowWindow();
  double ClientWidth() const { return clientWidth_; }
  void SetClientWidth(double twips) { clientWidth_ = twips; }

  // One observer: the window that draws these controls.
  void SetObserver(Observer observer) { observer_ = std::move(observer); }

 private:
  struct State {
    std::wstring caption;
    bool enabled = true;
    bool visible = true;
    double width = 0;
  };
  State& at(ControlId id);
  const State& at(ControlId id) const;
  void notify(ControlId id, Change change) const;

  std::array<State, kLayout.size()> states_;
  bool windowShown_ = false;
  double clientWidth_ = kClientWidth;
  Observer observer_;
};

}  // namespace norq
