// TObject and TComponent: the base of every named, owned part of a screen.
//
// A component may have an owner, which destroys it (last created first) when
// the owner itself is destroyed; a component destroyed on its own leaves its
// owner's list. Components that hold a reference to another one ask to be told
// of its destruction (FreeNotification) and drop the reference in
// Notification, so no one is left pointing at a destroyed component.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rtl {

class TObject {
 public:
  virtual ~TObject() = default;
};

enum class TOperation { opInsert, opRemove };

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }
  // The owned component with this name (compared without regard to case), or
  // nullptr.
  TComponent* FindComponent(std::string_view name) const;

  // Asks that `other` be told through Notification when this component is
  // destroyed (and the reverse).
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

 protected:
  // Told when a component this one follows is going away (opRemove).
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  void InsertOwned(TComponent* c);
  void RemoveOwned(TComponent* c);

  std::string name_;
  int tag_ = 0;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  bool destroying_ = false;
};

}  // namespace rtl
