#pragma once
// What the main window and the module windows share (unit ovnBrowserUtils):
// the module entries of the signed-in database (`TModuleItems` of
// `TModuleItem`), the base of every module window (`TCustomModuleForm`), the
// icon manager that turns resource names into indexes of the main window's
// 32-pixel icon list (`TIconManager`), and the info-bar key pictures
// (`GetImageForKey`). Main thread only.

#include "platform/Collection.h"
#include "platform/Guarded.h"
#include "platform/ImageList.h"
#include "platform/Canvas.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"
#include "platform/Timers.h"
#include "ui/KldAppItems.h"
#include "ui/ovnNamedList.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QAction;
class TNembraFileCache;
class TModuleItem;
class TModuleItems;

// The base of every module window: the entry it was opened for (null for a
// window opened without one). A window that goes clears its entry's Form
// first, so the entry counts as closed.
class TCustomModuleForm : public QWidget, public TObject, public TGuarded
{
  public:
    TCustomModuleForm(QWidget* Parent, TModuleItem* Item);
    ~TCustomModuleForm() override;
    std::string ClassName() const override { return "TCustomModuleForm"; }

    TModuleItem* ModuleItem() const { return m_moduleItem.Get(); }
    // The entry's name, or the window's caption without an entry.
    virtual std::string GetModuleName() const;
    // Whether the window holds unsaved data; the base holds none.
    virtual bool GetModified() const { return false; }
    // Closes the window; False when it refused (it holds data it could not
    // let go of).
    virtual bool CloseExecute() { return close(); }
    // Forgets unsaved data; the base has none.
    virtual void ResetModify() {}
    // The entry's counter; -1 without an entry.
    int GetModuleCounter() const;

  private:
    TGuardedPtr<TModuleItem> m_moduleItem;
};

// Makes the window of a module entry (the class of window opened for it).
using TModuleFormClass = std::function<TCustomModuleForm*(QWidget* Owner, TModuleItem* Item)>;

// One module of the database.
class TModuleItem : public TCollectionItem, public TGuarded
{
  public:
    std::string ClassName() const override { return "TModuleItem"; }
    std::string DisplayName() const override { return Name; }

    std::string Name;
    // The server's C_MODULE; -100 for the built-in "System" module.
    int32_t Counter = 0;
    // Picture in the main window's icon list.
    int32_t ImageIndex = -1;
    TModuleFormClass FormClass;

    // The open window; null when closed.
    TCustomModuleForm* Form() const { return m_form.Get(); }
    void SetForm(TCustomModuleForm* Form) { m_form = Form; }
    // Its row in the main window's module list; null when not listed.
    TKldAppItem* AppItem() const { return m_appItem.Get(); }
    void SetAppItem(TKldAppItem* Item) { m_appItem = Item; }

    bool GetActive() const { return Form() != nullptr; }
    // True opens the module (OpenModule), False closes it (CloseModule).
    void SetActive(bool Value);
    // The window that owns the entries (the main window).
    QWidget* GetBrowser() const;
    // Its window exists and reports unsaved data.
    bool GetModified() const;
    void ModuleClosed() { m_form = nullptr; }
    TModuleItems* Items() const;

  private:
    TGuardedPtr<TCustomModuleForm> m_form;
    TGuardedPtr<TKldAppItem> m_appItem;
};

// The module entries of the main window. Entries are added by the database
// sign-in and stay across database sign-ins; a later one matches them by
// counter.
class TModuleItems : public TCollection
{
  public:
    explicit TModuleItems(QWidget* OwnerForm = nullptr);
    ~TModuleItems() override;
    QWidget* OwnerForm() const { return m_ownerForm; }
    std::string ClassName() const override { return "TModuleItems"; }

    TModuleItem* Add(const std::string& Name, int32_t Counter);
    TModuleItem* Items(int Index) const { return static_cast<TModuleItem*>(TCollection::Items(Index)); }
    // The first entry of that name (case ignored) / counter; null when none.
    TModuleItem* Find(const std::string& Name) const;
    TModuleItem* Find(int32_t Counter) const;
    // The same, raising "Module \"%s\" not found" / "Module not found.
    // Counter = \"%d\"" when there is none.
    TModuleItem& ModuleByName(const std::string& Name) const;
    TModuleItem& ModuleByCounter(int32_t Counter) const;

    // An open entry's window becomes the desktop's active one; a closed
    // entry with a window class gets a new window, which is sent 4357
    // (WM_LOADMENU) once the message loop runs.
    void OpenModule(TModuleItem& Item);

    // For an open entry: its window's CloseExecute; a window that closed is
    // forgotten and its list row loses the isStarted state. A window that
    // refused stays the entry's (ActiveCount tells the caller).
    void CloseModule(TModuleItem& Item);
    // Every entry in order: with Forget an open window forgets its unsaved
    // data first; then CloseModule.
    void Close(bool Forget);
    // The first entry whose window holds unsaved data; null when none.
    TModuleItem* Modified() const;
    int ActiveCount() const;
    // Empties Groups and ModuleNames and lets every entry forget its window
    // and its list row, without closing or removing anything.
    void ClearLayout();

    // The module-group layout of the database.
    TNamedList& Groups() { return m_groups; }
    // Module names with their module-list rows as objects: the choice list
    // of the groups editor.
    TStringList& ModuleNames() { return m_moduleNames; }

  protected:
    // An entry removed while open closes its module first.
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;

  private:
    QWidget* m_ownerForm;
    TNamedList m_groups;
    TStringList m_moduleNames;
};

// Icons by resource name, loaded into one image list in the order they are
// first asked for: the position of a name is the index of its picture.
class TIconManager : public TStringList
{
  public:
    TIconManager(TCustomImageList* ImageList, TNembraFileCache* FileCache);
    ~TIconManager() override;
    std::string ClassName() const override { return "TIconManager"; }

    // The picture's index; Default for an empty name, a file that cannot be
    // had or loaded, or any failure (a failed name is tried again next
    // time). A new name is fetched through the cache and loaded by its
    // extension: ".bmp" masked with its bottom-left pixel's colour, ".png"
    // with its alpha; other files are not loaded.
    int GetIconIndex(const std::string& IconName, int Default);
    // Empties the names and the image list.
    void Clear() override;

  private:
    TImageListRef m_imageList;
    TNembraFileCache* m_fileCache;
};

// The unread-mail badge (24 x 16, with alpha): a left cap (columns 0-7), a
// middle (8-15) and a right cap (16-23). One per process; the main window
// fills it from the picture "KLD_MAIL_NOTIFY" at its creation.
QImage& MailBadgeImage();

// Draws the badge with Text at Position: the left cap, the right cap
// max(8, min(24, text width) - 2) pixels further, the middle stretched
// between them when that is more than 8, and the text centred on it (in the
// shadow colour, then one pixel higher in white). Rect is not used.
void DoDrawBadge(TCanvas& Canvas, const TRect& Rect, const TPoint& Position, const std::string& Text);
// The badge's width W (the right cap's offset) for a text width.
int BadgeWidth(int TextWidth);

// A toolbar item whose picture others may draw over (the mail button).
class TAnimatedItem : public TGuarded
{
  public:
    virtual ~TAnimatedItem() = default;
    // Draws over the item's picture; empty when none.
    std::function<void(TCanvas& Canvas, const TRect& ImageRect)> OnDrawImage;
    // The item paints again.
    virtual void Invalidate() = 0;
};

// Moves the badge of a toolbar item along a time line: the step's interval
// runs, the item repaints, the next step follows (after the last, the
// first). The badge is drawn raised on steps 0 and 3.
class TAnimator : public TObject
{
  public:
    TAnimator();
    ~TAnimator() override;
    std::string ClassName() const override { return "TAnimator"; }

    TAnimatedItem* Item() const { return m_item.Get(); }
    // Detaches from the old item and draws on the new one; null also stops.
    void SetItem(TAnimatedItem* Item);
    void SetTimeLine(const std::vector<int>& Intervals) { m_timeLine = Intervals; }
    const std::vector<int>& TimeLine() const { return m_timeLine; }
    // Needs an item and a time line. True starts at the first step; False
    // stops and repaints.
    void SetAnimate(bool Value);
    bool GetAnimate() const { return m_timer.Enabled(); }
    const std::string& Text() const { return m_text; }
    void SetText(const std::string& Value) { m_text = Value; }
    int Step() const { return m_step; }
    TTimer& Timer() { return m_timer; }
    // One step (the timer's event).
    void DoAnimate();
    // The item's picture-drawing event while animating.
    void DrawAnimateImage(TCanvas& Canvas, const TRect& ImageRect);

  private:
    TTimer m_timer;
    int m_step = -1;
    std::vector<int> m_timeLine;
    std::string m_text;
    TGuardedPtr<TAnimatedItem> m_item;
};

// A new entry of Parent (a menu or toolbar) that stands for Action: its
// text, state and trigger follow the action; picture ImageIndex of Images;
// Tag in its data.
QAction* TBXAddAction(QWidget* Parent, QAction* Action, TCustomImageList* Images, int ImageIndex, intptr_t Tag);
// A new entry of Parent with Caption (also its hint), picture, tag and
// click handler.
QAction* TBXAddSubItem(QWidget* Parent, const std::string& Caption, TCustomImageList* Images, int ImageIndex,
                       intptr_t Tag, const std::function<void(QAction*)>& OnClick);
// The program's picture resource Name; raises when there is none.
void DoLoadPngRes(QImage& Png, const std::string& Name);
// Turns the window's drawing off; EnableRedraw turns it on and repaints the
// window with all its children at once.
void DisableRedraw(QWidget* Handle);
void EnableRedraw(QWidget* Handle);

// The 16-pixel picture of an info-bar key (case ignored): "FACILITY" and
// "DEFAULT_FACILITY" 9, "RESIDENT" 10, "CURRENT_PERIOD" 11, else -1.
int32_t GetImageForKey(const std::string& Key);
