#pragma once
// The roots of the class library's object model: `TObject` (a polymorphic
// object with a class name, the type of an event's sender and of the objects a
// string list carries) and `TPersistent` (an object that can take another
// one's state through Assign).

#include <functional>
#include <string>

class TObject
{
  public:
    TObject() = default;
    virtual ~TObject() = default;

    // Objects have identity: copying one would duplicate ownership links.
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;

    // The class name as text ("TStringList"), for messages and logs.
    virtual std::string ClassName() const { return "TObject"; }
};

// An event that only says "this happened", with the sender first.
using TNotifyEvent = std::function<void(TObject* sender)>;

class TPersistent : public TObject
{
  public:
    std::string ClassName() const override { return "TPersistent"; }

    // Takes the state of `source`. The default asks the source to assign
    // itself (AssignTo); when neither side knows the other this raises
    // EConvertError "Cannot assign a <source class> to a <this class>".
    virtual void Assign(const TPersistent& source);

  protected:
    // Copies this object's state into `dest`; the default raises the same
    // EConvertError as Assign.
    virtual void AssignTo(TPersistent& dest) const;

    // Raises EConvertError "Cannot assign a %s to a %s"; a null source is named "nil".
    [[noreturn]] void AssignError(const TPersistent* source) const;
};
