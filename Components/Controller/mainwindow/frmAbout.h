#pragma once
// The about box `TfrmAbout` of the Help menu: the brand's picture, the
// program's version and build with the program file's date, and the
// ownership line with the years from the first year to the program file's.
//
// Main thread only.

#include "Components/Controller/files/ovnUtils.h"
#include "platform/Forms.h"

#include <cstdint>
#include <string>

class QLabel;

// The first year of the ownership line.
constexpr int AboutFirstYear = 2005;
// "Version %s (Build %s, %s)" of a version record, the date "mm/dd/yyyy hh:nn".
std::string AboutVersionText(const TovnVersionInfo& Info);
// The brand's holder text with the years from AboutFirstYear to the program
// file's ("Orvane" for brand 0, "Tallowin" for every other brand).
std::string AboutOwnershipText(int32_t Brand, const TovnVersionInfo& Info);
// A brand's picture (brand 0 the maker's, 1 the product's).
QPixmap AboutBrandPicture(int32_t Brand);

class TfrmAbout : public TDialogForm
{
  public:
    TfrmAbout(int32_t Brand, const TovnVersionInfo& Info, QWidget* parent = nullptr);
    ~TfrmAbout() override;
    std::string ClassName() const override { return "TfrmAbout"; }

    // The about box of AppBrand and the program file, modally.
    static void Execute(QWidget* parent = nullptr);

    QLabel* imgBrand(int32_t Brand) const { return Brand == 0 ? m_imgBrand0 : m_imgBrand1; }
    QLabel* lblVersion() const { return m_lblVersion; }
    QLabel* lblOwnership() const { return m_lblOwnership; }

  private:
    QLabel* m_imgBrand0 = nullptr;
    QLabel* m_imgBrand1 = nullptr;
    QLabel* m_lblVersion = nullptr;
    QLabel* m_lblOwnership = nullptr;
};
