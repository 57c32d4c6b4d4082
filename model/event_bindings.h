// Which handler of the screen each event of its components runs, as a table,
// and the binding of that table to a set of handlers by name.
//
// The screen registers its handlers under their names in a HandlerSet;
// BindEvents binds every table entry whose handler is registered and reports
// the entries it could not bind, so a screen that is still missing handlers
// knows exactly which.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "db/client_dataset.h"
#include "vcl/db_grid.h"

namespace qmx00600 {

enum class Event {
  // datasets
  BeforePost,
  AfterPost,
  AfterCancel,
  AfterDelete,
  AfterScroll,
  // fields
  OnGetText,
  OnSetText,
  // data sources
  OnStateChange,
  // windowed controls (grids, panels, sheets)
  OnEnter,
  // grids
  OnColEnter,
  OnColExit,
  OnCellClick,
  OnDrawColumnCell,
  OnEditButtonClick,
  OnKeyDown,
  OnKeyPress,
  OnTitleClick,
  // the connection
  BeforeConnect,
};

struct EventBinding {
  std::string_view component;  // a field is written "dataset.FIELD"
  Event event;
  std::string_view handler;
};

const std::vector<EventBinding>& EventBindings();

using NotifyHandler = std::function<void(rtl::TObject* sender)>;

// The screen's handlers by name, one map per handler signature.
struct HandlerSet {
  std::map<std::string, db::TDataSetNotifyEvent, std::less<>> dataset;
  std::map<std::string, NotifyHandler, std::less<>> notify;
  std::map<std::string, db::TField::TGetTextEvent, std::less<>> get_text;
  std::map<std::string, db::TField::TSetTextEvent, std::less<>> set_text;
  std::map<std::string, vcl::TKeyEvent, std::less<>> key_down;
  std::map<std::string, vcl::TKeyPressEvent, std::less<>> key_press;
  std::map<std::string, vcl::TDrawColumnCellEvent, std::less<>> draw_cell;
  std::map<std::string, vcl::TDBGridClickEvent, std::less<>> click;
};

// Binds the table's entries on the components `form` owns. Returns the
// entries left unbound because their handler is not in `handlers`; a
// component missing from `form` throws std::logic_error.
std::vector<EventBinding> BindEvents(rtl::TComponent& form, const HandlerSet& handlers);

}  // namespace qmx00600
