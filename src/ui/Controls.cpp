#include "ui/Controls.h"

#include <stdexcept>

namespace norq {

Controls::Controls() {
  for (std::size_t i = 0; i < kLayout.size(); ++i) {
    states_[i].caption = kLayout[i].caption;
    states_[i].visible = kLayout[i].visible;
    states_[i].width = kLayout[i].width;
  }
}

Controls::State& Controls::at(ControlId id) {
  return const_cast<State&>(static_cast<const Controls&>(*this).at(id));
}

const Controls::State& Controls::at(ControlId id) const {
  for (std::size_t i = 0; i < kLayout.size(); ++i) {
    if (kLayout[i].id == id) return states_[i];
  }
  throw std::out_of_range("unknown control id");
}

void Controls::notify(ControlId id, Change change) const {
  if (observer_) observer_(id, change);
}

// Setters tell the window only of real changes: the download loop sets the
// same texts and widths thousands of times a second.
void Controls::SetCaption(ControlId id, std::wstring text) {
  auto& state = at(id);
  if (state.caption == text) return;
  state.caption = std::move(text);
  notify(id, Change::Caption);
}

void Controls::SetEnabled(ControlId id, bool enabled) {
  auto& state = at(id);
  if (state.enabled == enabled) return;
  state.enabled = enabled;
  notify(id, Change::Enabled);
}

void Controls::SetVisible(ControlId id, bool visible) {
  auto& state = at(id);
  if (state.visible == visible) return;
  state.visible = visible;
  notify(id, Change::Visible);
}

void Controls::SetWidth(ControlId id, double twips) {
  auto& state = at(id);
  if (state.width == twips) return;
  state.width = twips;
  notify(id, Change::Width);
}

void Controls::ShowWindow() {
  if (windowShown_) return;
  windowShown_ = true;
  notify(ControlId::None, Change::WindowShown);
}

}  // namespace norq
