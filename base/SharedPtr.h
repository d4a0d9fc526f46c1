#pragma once

#include <memory>

namespace zu {

// The toolkit's reference-counted pointer. It keeps a use count and a weak count; the
// object is deleted when the use count reaches zero and the count block when both do.
// Copies may be made and dropped concurrently from any thread.
template <class T>
using SharedPtr = std::shared_ptr<T>;

// A non-owning reference to an object held by SharedPtr; Lock()s to a SharedPtr that is
// empty once the object is gone.
template <class T>
using WeakPtr = std::weak_ptr<T>;

// Base for objects that hand out further SharedPtr to themselves (shared_from_this())
// while at least one SharedPtr to them exists.
template <class T>
using SharedPtrFromThis = std::enable_shared_from_this<T>;

}  // namespace zu
