#include "Components/Controller/applets/ovnBrowserUtils.h"

#include "Components/Nembra/NembraFileSystemCache.h"
#include "Components/Nembra/NembraLocalFileSystem.h"
#include "platform/ImageList.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

namespace {

// A 32-pixel icon list fed from a resource cache over a local folder.
class IconManagerTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_cache.SetCacheDir(m_cacheDir.Path());
        m_cache.SetURI("file://" + m_source.Path());
        m_cache.SetActive(true);
    }

    // A picture of one colour, saved in the source folder and registered
    // under `Name`.
    void AddPicture(const std::string& Name, const std::string& FileName, int Width, QColor Colour,
                    const char* Format)
    {
        QImage picture(Width, 32, QImage::Format_ARGB32);
        picture.fill(Colour);
        ASSERT_TRUE(picture.save(QString::fromStdString(m_source / FileName), Format));
        m_cache.AddResourceFile(Name, FileName);
    }

    QColor ColourAt(int Index) const { return m_images.GetImage(Index).pixelColor(16, 16); }

    TTempFolder m_source;
    TTempFolder m_cacheDir;
    TNembraFileSystemCache m_cache;
    TCustomImageList m_images{32, 32};
    TIconManager m_icons{&m_images, &m_cache};
};

} // namespace

TEST_F(IconManagerTest, NamesKeepThePositionOfTheirPictures)
{
    AddPicture("RED", "red.png", 32, Qt::red, "PNG");
    AddPicture("WIDE", "wide.png", 96, Qt::green, "PNG");
    AddPicture("BLUE", "blue.png", 32, Qt::blue, "PNG");

    EXPECT_EQ(m_icons.GetIconIndex("RED", -1), 0);
    // Three pictures wide: the list gets three, the name stands at the last.
    EXPECT_EQ(m_icons.GetIconIndex("WIDE", -1), 3);
    EXPECT_EQ(m_icons.GetIconIndex("BLUE", -1), 4);
    EXPECT_EQ(m_images.Count(), 5);

    // Known names answer from the list, and each index shows its own picture.
    EXPECT_EQ(m_icons.GetIconIndex("red", -1), 0) << "names compare without case";
    EXPECT_EQ(m_icons.GetIconIndex("WIDE", -1), 3);
    EXPECT_EQ(m_icons.GetIconIndex("BLUE", -1), 4);
    EXPECT_EQ(ColourAt(0), QColor(Qt::red));
    EXPECT_EQ(ColourAt(3), QColor(Qt::green));
    EXPECT_EQ(ColourAt(4), QColor(Qt::blue));
    EXPECT_EQ(m_images.Count(), 5) << "nothing loaded twice";
}

TEST_F(IconManagerTest, ABitmapIsMaskedWithItsBottomLeftColour)
{
    QImage picture(32, 32, QImage::Format_RGB32);
    picture.fill(Qt::magenta);
    picture.setPixelColor(16, 16, Qt::blue);
    ASSERT_TRUE(picture.save(QString::fromStdString(m_source / "masked.bmp"), "BMP"));
    m_cache.AddResourceFile("MASKED", "masked.bmp");

    const int index = m_icons.GetIconIndex("MASKED", -1);
    ASSERT_EQ(index, 0);
    const QImage loaded = m_images.GetImage(index);
    EXPECT_EQ(qAlpha(loaded.pixel(0, 31)), 0) << "the corner colour is transparent";
    EXPECT_EQ(loaded.pixelColor(16, 16), QColor(Qt::blue));
}

TEST_F(IconManagerTest, WhatCannotBeLoadedGivesTheDefaultAndIsTriedAgain)
{
    AddPicture("ICO", "icon.ico", 32, Qt::red, "PNG");
    m_cache.AddResourceFile("MISSING", "missing.png");
    AddPicture("LATER", "later.png", 32, Qt::red, "PNG");
    // A file that is no picture at all.
    WriteText(m_source / "broken.png", "not a picture");
    m_cache.AddResourceFile("BROKEN", "broken.png");

    const struct
    {
        const char* Name;
        const char* Why;
    } cases[] = {
        {"", "an empty name"},
        {"ICO", "an extension that is not loaded"},
        {"MISSING", "a file the cache cannot fetch"},
        {"UNREGISTERED", "a name the cache does not know"},
        {"BROKEN", "a file that does not load"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        EXPECT_EQ(m_icons.GetIconIndex(c.Name, 7), 7);
    }
    EXPECT_EQ(m_icons.Count(), 0) << "no name of a failure is remembered";
    EXPECT_EQ(m_images.Count(), 0);

    // A failed name is asked for again: once its file is there, it loads.
    AddPicture("MISSING", "missing.png", 32, Qt::blue, "PNG");
    EXPECT_EQ(m_icons.GetIconIndex("MISSING", 7), 0);
}

TEST_F(IconManagerTest, ClearAndTheManagersEndEmptyTheImageList)
{
    AddPicture("RED", "red.png", 32, Qt::red, "PNG");
    ASSERT_EQ(m_icons.GetIconIndex("RED", -1), 0);
    m_icons.Clear();
    EXPECT_EQ(m_icons.Count(), 0);
    EXPECT_EQ(m_images.Count(), 0);
    EXPECT_EQ(m_icons.GetIconIndex("RED", -1), 0) << "loaded anew";

    {
        TIconManager other(&m_images, &m_cache);
        EXPECT_EQ(other.GetIconIndex("RED", -1), 1);
    }
    EXPECT_EQ(m_images.Count(), 0);
}

TEST(GetImageForKey, InfoBarKeysWithoutCase)
{
    EXPECT_EQ(GetImageForKey("facility"), 9);
    EXPECT_EQ(GetImageForKey("DEFAULT_FACILITY"), 9);
    EXPECT_EQ(GetImageForKey("Resident"), 10);
    EXPECT_EQ(GetImageForKey("CURRENT_PERIOD"), 11);
    EXPECT_EQ(GetImageForKey("SHIFT"), -1);
}
