// Samples of the views on the virtual grid: a resident list in a collection
// view (its columns edit the residents' published properties), and one
// resident's record in the object view, grouped by category and sorted.

#include "tools/gallery/GallerySamples.h"

#include "platform/Collection.h"
#include "platform/TypInfo.h"
#include "ui/KldPropView.h"

#include <string>
#include <vector>

namespace {

// A resident as a host's collection holds it.
class TSampleResident : public TCollectionItem, public IPublished
{
  public:
    std::string ClassName() const override { return "TSampleResident"; }

    int ID = 0;
    std::string Name;
    int Room = 0;
    std::string Ward;
    bool Present = true;
    std::string CareLevel;
    bool Attention = false;

    const TPropList& PublishedProps() const override
    {
        static const TPropList props = [] {
            using C = TSampleResident;
            TPropList list;
            TPropDeclarer<C>(list)
                .Integer("ID", [](const C& r) { return r.ID; }, nullptr)
                .String("Name", [](const C& r) { return r.Name; }, [](C& r, const std::string& v) { r.Name = v; })
                .Integer("Room", [](const C& r) { return r.Room; }, [](C& r, int v) { r.Room = v; })
                .String("Ward", [](const C& r) { return r.Ward; }, [](C& r, const std::string& v) { r.Ward = v; })
                .Boolean("Present", [](const C& r) { return r.Present; }, [](C& r, bool v) { r.Present = v; })
                .String("CareLevel", [](const C& r) { return r.CareLevel; },
                        [](C& r, const std::string& v) { r.CareLevel = v; });
            return list;
        }();
        return props;
    }
};

// The residents live as long as the program; the view only borrows them.
TCollection& SampleResidents()
{
    static TCollection* residents = [] {
        auto* list = new TCollection(CollectionItemClass<TSampleResident>());
        struct Row
        {
            const char* Name;
            int Room;
            const char* Ward;
            bool Present;
            const char* Care;
            bool Attention;
        };
        const Row rows[] = {
            {"Anna Berg", 12, "Oak", true, "Level 3", true},   {"Jonas Keller", 3, "Birch", true, "Level 1", false},
            {"Mira Olsen", 7, "Linden", false, "Level 2", false}, {"Petr Novak", 21, "Oak", true, "Level 4", true},
            {"Lea Fischer", 14, "Birch", true, "Level 2", false}, {"Omar Haddad", 9, "Linden", true, "Level 1", false},
            {"Sofia Rossi", 18, "Oak", false, "Level 5", true},   {"Tomas Lind", 5, "Birch", true, "Level 2", false},
        };
        int id = 1001;
        for (const Row& row : rows) {
            auto* r = static_cast<TSampleResident*>(list->Add());
            r->ID = id++;
            r->Name = row.Name;
            r->Room = row.Room;
            r->Ward = row.Ward;
            r->Present = row.Present;
            r->CareLevel = row.Care;
            r->Attention = row.Attention;
        }
        return list;
    }();
    return *residents;
}

TKldColumn* AddColumn(TKldCollectionView& view, const std::string& name, const std::string& caption, int width,
                      TKldEditType editType)
{
    TKldColumn* column = view.Columns().Add();
    column->SetName(name);
    column->SetCaption(caption);
    column->SetWidth(width);
    column->SetEditType(editType);
    return column;
}

QWidget* MakeCollectionView(QWidget* parent)
{
    auto* view = new TKldCollectionView(parent);
    view->SetShowOptions(view->ShowOptions() +
                         TKldListViewShowOptions{soHeader, soMarker, soRowSelect, soAutoWidth, soTabs});
    view->SetBorders(bsSingle);
    view->SetScrollBars(ssVertical);
    view->SetMarkerWidth(40);
    view->SetNumberedRow(nrAscending);
    view->SetShowHint(true);

    view->Columns().BeginUpdate();
    TKldColumn* id = AddColumn(*view, "ID", "No.", 44, etNone);
    id->SetDisabled(true);
    id->SetTextAlignment(taRightJustify);
    AddColumn(*view, "Name", "Resident", 120, etValue)->SetAutoWidth(true);
    TKldColumn* room = AddColumn(*view, "Room", "Room", 50, etValue);
    room->SetTextAlignment(taRightJustify);
    room->SetAlignment(taRightJustify);
    TKldColumn* ward = AddColumn(*view, "Ward", "Ward", 80, etValueListOnly);
    ward->ValueList().SetCommaText("Birch,Linden,Oak");
    TKldColumn* present = AddColumn(*view, "Present", "Present", 60, etCheck);
    present->SetTextAlignment(taCenter);
    present->SetAlignment(taCenter);
    TKldColumn* care = AddColumn(*view, "CareLevel", "Care level", 90, etDialog);
    care->SetColor(0xE8F4FF); // a pale amber for the column the nurses fill in
    view->Columns().EndUpdate();

    // A red dot in the marker for residents that need attention today.
    view->OnDrawMarker = [view](TObject*, int row, const TRect& rect) {
        auto* resident = static_cast<TSampleResident*>(view->GetCollectionItem(row));
        if (!resident || !resident->Attention)
            return;
        TCanvas& canvas = view->Canvas();
        const int size = 7;
        const int x = rect.Right - view->RowHeight() + (view->RowHeight() - size) / 2;
        const int y = rect.Top + (rect.Height() - size) / 2;
        canvas.Brush().Style = bsSolid;
        canvas.Brush().Color = 0x3C3CDC;
        canvas.Pen().Color = 0x2020A0;
        canvas.Ellipse(x, y, x + size, y + size);
    };
    view->Loaded();
    view->SetCollection(&SampleResidents());
    view->SetCurCell(1, 2);
    return view;
}

const TGalleryRegistration CollectionView{{"collection-view", QSize(600, 240), MakeCollectionView, nullptr}};

// One resident's record: categories Person and Care open, Contact closed, the
// ID a key shown read-only, an internal code hidden.
TKldObjectView* MakeRecord(QWidget* parent)
{
    auto* view = new TKldObjectView(parent);
    view->SetBorders(bsSingle);
    view->SetShowReadOnlyProps(true);
    view->SetHiddenProps("InternalCode");
    TStringList lines;
    lines.SetText("ResidentID=1001\nFirstName=Anna\nLastName=Berg\nBorn=12.04.1938\nRoom=12\nWard=Oak\n"
                  "Phone=+49 30 555 0142\nRelative=Karl Berg (son)\nCareLevel=Level 3\nDiet=Diabetic\n"
                  "FallRisk=True\nInternalCode=X-17\n");
    view->SetPropsAsStrings(&lines, false);

    struct Prop
    {
        const char* Name;
        const char* Caption;
        const char* Category;
    };
    const Prop props[] = {
        {"ResidentID", "Resident no.", "Person"}, {"FirstName", "First name", "Person"},
        {"LastName", "Last name", "Person"},      {"Born", "Born", "Person"},
        {"Room", "Room", "Care"},                 {"Ward", "Ward", "Care"},
        {"Phone", "Phone", "Contact"},            {"Relative", "Relative", "Contact"},
        {"CareLevel", "Care level", "Care"},      {"Diet", "Diet", "Care"},
        {"FallRisk", "Fall risk", "Care"},
    };
    for (std::string category : {"+Person", "-Contact", "+Care"})
        view->Categories().AddExt(category);
    view->Props().BeginUpdate();
    for (const Prop& p : props) {
        TKldPropItem* prop = view->Props().Find(p.Name);
        prop->SetCaption(p.Caption);
        prop->SetCategoryName(p.Category);
    }
    TKldPropItem* id = view->Props().Find("ResidentID");
    id->SetKey(true);
    id->SetStates({csReadOnly, csDisabled});
    TKldPropItem* ward = view->Props().Find("Ward");
    ward->SetEditType(etValueListOnly);
    ward->ValueList().SetCommaText("Birch,Linden,Oak");
    view->Props().Find("CareLevel")->SetEditType(etDialog);
    view->Props().Find("FallRisk")->SetEditType(etCheck);
    view->Props().EndUpdate();
    view->AdjustColWidth();
    return view;
}

QWidget* MakeObjectView(QWidget* parent)
{
    TKldObjectView* view = MakeRecord(parent);
    view->SetShowOptions(view->ShowOptions() + TKldListViewShowOptions{soMarker});
    view->SetByCategory(true);
    view->SetSelected(view->Props().Find("LastName"));
    return view;
}

QWidget* MakeSortedObjectView(QWidget* parent)
{
    TKldObjectView* view = MakeRecord(parent);
    view->SetSorted(true);
    view->SetSelected(view->Props().Find("Ward"));
    return view;
}

const TGalleryRegistration ObjectView{{"object-view", QSize(320, 300), MakeObjectView, nullptr}};
const TGalleryRegistration ObjectViewSorted{{"object-view-sorted", QSize(320, 260), MakeSortedObjectView, nullptr}};

} // namespace
