#include "orb/grids.h"

#include <gtest/gtest.h>

#include <map>

#include "vcl/control_observer.h"
#include "vcl/db_grid.h"
#include "vcl/form.h"
#include "vcl/panel.h"

namespace orb {
namespace {

TEST(IndiceCol, FindsTheColumnOfAFieldWithoutRegardToCase) {
  vcl::TDBGrid grid(nullptr);
  for (const char* name : {"IDFATODW", "CDITEMDW", "CDAREANEGDW"})
    grid.Columns().Add()->SetFieldName(name);
  EXPECT_EQ(IndiceCol(&grid, "CDAREANEGDW"), 2);
  EXPECT_EQ(IndiceCol(&grid, "cditemdw"), 1);
  EXPECT_EQ(IndiceCol(&grid, "NMITEMDW"), -1);
  EXPECT_EQ(IndiceCol(nullptr, "CDITEMDW"), -1);
}

// Counts the repaint requests of each grid.
class RepaintCounter : public vcl::IControlObserver {
 public:
  RepaintCounter() { vcl::AddControlObserver(this); }
  ~RepaintCounter() override { vcl::RemoveControlObserver(this); }
  void Changed(rtl::TComponent* component, vcl::TChange what) override {
    if (what == vcl::TChange::DataState) ++repaints[component];
  }
  std::map<rtl::TComponent*, int> repaints;
};

TEST(RefreshGrid, RepaintsTheGridsTheFormOwnsAndTheOnesPlacedOnIt) {
  vcl::TForm form(nullptr);
  auto* panel = new vcl::TPanel(&form);
  panel->SetParent(&form);
  auto* owned_and_placed = new vcl::TDBGrid(&form);
  owned_and_placed->SetParent(panel);
  auto* owned_by_panel = new vcl::TDBGrid(panel);  // owned one level down, not placed
  vcl::TDBGrid placed_only(nullptr);
  placed_only.SetParent(panel);
  vcl::TDBGrid elsewhere(nullptr);

  RepaintCounter counter;
  RefreshGrid(&form);
  EXPECT_EQ(counter.repaints[owned_and_placed], 1);  // once, though reached twice
  EXPECT_EQ(counter.repaints[owned_by_panel], 1);
  EXPECT_EQ(counter.repaints[&placed_only], 1);
  EXPECT_EQ(counter.repaints[&elsewhere], 0);
  RefreshGrid(nullptr);
  placed_only.SetParent(nullptr);
}

}  // namespace
}  // namespace orb
