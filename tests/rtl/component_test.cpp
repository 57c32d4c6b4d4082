#include "rtl/component.h"

#include <gtest/gtest.h>

namespace rtl {
namespace {

// Records its own destruction and the removals it is told of.
class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::string name, std::vector<std::string>* log)
      : TComponent(owner), log_(log) {
    SetName(std::move(name));
  }
  ~Probe() override { log_->push_back("~" + Name()); }
  TComponent* followed = nullptr;

 protected:
  void Notification(TComponent* c, TOperation op) override {
    if (op == TOperation::opRemove && c == followed) {
      log_->push_back(Name() + " dropped");
      followed = nullptr;
    }
  }

 private:
  std::vector<std::string>* log_;
};

TEST(Component, OwnerDestroysItsComponentsLastCreatedFirst) {
  std::vector<std::string> log;
  auto* form = new Probe(nullptr, "form", &log);
  new Probe(form, "a", &log);
  new Probe(form, "b", &log);
  EXPECT_EQ(form->ComponentCount(), 2);
  EXPECT_EQ(form->FindComponent("B")->Name(), "b");
  EXPECT_EQ(form->FindComponent("c"), nullptr);
  delete form;
  EXPECT_EQ(log, (std::vector<std::string>{"~form", "~b", "~a"}));
}

TEST(Component, DestroyedComponentLeavesItsOwnerAndTellsFollowers) {
  std::vector<std::string> log;
  Probe form(nullptr, "form", &log);
  auto* dataset = new Probe(&form, "cds", &log);
  auto* source = new Probe(&form, "dts", &log);
  source->followed = dataset;
  dataset->FreeNotification(source);
  delete dataset;
  EXPECT_EQ(form.ComponentCount(), 1);
  EXPECT_EQ(source->followed, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"~cds", "dts dropped"}));
}

}  // namespace
}  // namespace rtl
