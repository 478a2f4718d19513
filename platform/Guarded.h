#pragma once
// Guarded references: a pointer that notices when its object is gone.
//
// The class library let a form hold an image list, and a menu entry the item
// it stands for, by plain reference and relied on free notification to clear
// it. Here an object that others may hold derives from `TGuarded`; holders
// keep a `TGuardedPtr<T>` (typed) or a `TGuardedRef` (any guarded object, as
// a menu entry's reference to whatever it stands for). Both answer nullptr
// once the object has been destroyed, so a freed image list draws nothing and
// a click on a menu entry whose item was deleted finds no item.
//
// User-interface thread only: the test and the use are not atomic together.

#include <memory>
#include <typeinfo>

class TGuarded
{
  public:
    TGuarded() : m_token(std::make_shared<char>(0)) {}
    // A copy is another object with a guard of its own.
    TGuarded(const TGuarded&) : TGuarded() {}
    TGuarded& operator=(const TGuarded&) { return *this; }
    ~TGuarded() = default;

    // Expires when the object goes.
    std::weak_ptr<const void> GuardToken() const { return m_token; }

  private:
    std::shared_ptr<char> m_token;
};

template <class T> class TGuardedPtr
{
  public:
    TGuardedPtr() = default;
    TGuardedPtr(std::nullptr_t) {}
    TGuardedPtr(T* object) : m_object(object)
    {
        if (object)
            m_token = object->GuardToken();
    }

    // The object, or nullptr when none was given or it has been destroyed.
    T* Get() const { return m_token.expired() ? nullptr : m_object; }
    T* operator->() const { return Get(); }
    explicit operator bool() const { return Get() != nullptr; }

  private:
    T* m_object = nullptr;
    std::weak_ptr<const void> m_token;
};

// A guarded reference to an object of any guarded class. Get<T>() answers the
// object only when it still exists and was stored as exactly a T.
class TGuardedRef
{
  public:
    TGuardedRef() = default;
    template <class T> static TGuardedRef Make(T* object)
    {
        TGuardedRef ref;
        if (object) {
            ref.m_object = object;
            ref.m_type = &typeid(T);
            ref.m_token = object->GuardToken();
        }
        return ref;
    }

    template <class T> T* Get() const
    {
        if (!m_type || *m_type != typeid(T) || m_token.expired())
            return nullptr;
        return static_cast<T*>(m_object);
    }
    // Whether an object was given and still exists.
    bool Alive() const { return m_type && !m_token.expired(); }

  private:
    void* m_object = nullptr;
    const std::type_info* m_type = nullptr;
    std::weak_ptr<const void> m_token;
};
