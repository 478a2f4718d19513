// The controller folder's subfolders and the includes between them. The
// controller (the folder itself) and the main window use each other and
// every road below them; the roads use each other only downwards, so that
// any one of them can be read, and its tests built, from what lies below.
// The zip and file routines with the program restore are the library the
// update helper links alone: they include nothing else of the folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path ControllerFolder = fs::path(KLD_SOURCE_DIR) / "Components" / "Controller";

// "." for a file of the folder itself, else the subfolder it lies in.
std::string FolderOf(const fs::path& relative)
{
    auto first = relative.begin();
    return std::next(first) == relative.end() ? "." : first->string();
}

struct Include
{
    std::string File;   // relative to the controller folder
    std::string Target; // relative to the controller folder
};

std::vector<Include> IncludesOfTheFolder()
{
    static const std::regex line(R"(^\s*#\s*include\s+"Components/Controller/([^"]+)\")");
    std::vector<Include> includes;
    for (const auto& entry : fs::recursive_directory_iterator(ControllerFolder)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        std::ifstream in(entry.path());
        std::string text;
        std::smatch match;
        while (std::getline(in, text))
            if (std::regex_search(text, match, line))
                includes.push_back({fs::relative(entry.path(), ControllerFolder).string(), match[1]});
    }
    return includes;
}

using Edges = std::map<std::string, std::map<std::string, std::string>>; // from -> to -> an include

Edges FolderEdges(const std::vector<Include>& includes)
{
    Edges edges;
    for (const auto& include : includes) {
        const auto from = FolderOf(include.File);
        const auto to = FolderOf(include.Target);
        if (from != to)
            edges[from].emplace(to, include.File + " includes " + include.Target);
    }
    return edges;
}

// A circle among the folders outside `hub`, as its includes, or empty.
std::vector<std::string> FindCircle(const Edges& edges, const std::set<std::string>& hub)
{
    std::map<std::string, int> state; // 1 on the path, 2 done
    std::vector<std::string> path;
    std::vector<std::string> circle;
    std::function<bool(const std::string&)> visit = [&](const std::string& folder) {
        state[folder] = 1;
        path.push_back(folder);
        if (auto it = edges.find(folder); it != edges.end())
            for (const auto& [to, example] : it->second) {
                if (hub.count(to))
                    continue;
                if (state[to] == 1) {
                    auto start = std::find(path.begin(), path.end(), to);
                    for (auto step = start; step != path.end(); ++step) {
                        const auto& next = std::next(step) == path.end() ? to : *std::next(step);
                        circle.push_back(edges.at(*step).at(next));
                    }
                    return true;
                }
                if (state[to] == 0 && visit(to))
                    return true;
            }
        path.pop_back();
        state[folder] = 2;
        return false;
    };
    for (const auto& [folder, targets] : edges)
        if (!hub.count(folder) && state[folder] == 0 && visit(folder))
            break;
    return circle;
}

std::string Lines(const std::vector<std::string>& texts)
{
    std::string all;
    for (const auto& text : texts)
        all += "\n  " + text;
    return all;
}

} // namespace

TEST(ControllerFolders, TheRoadsIncludeEachOtherWithoutACircle)
{
    const auto includes = IncludesOfTheFolder();
    ASSERT_GT(includes.size(), 100u) << "the controller's sources were not found under " << ControllerFolder;
    const auto edges = FolderEdges(includes);
    for (const auto* road : {"applets", "forms", "mail", "notifications", "signin", "web", "update"})
        EXPECT_TRUE(edges.count(road)) << road << " includes nothing of the folder: was it moved or renamed?";

    const auto circle = FindCircle(edges, {".", "mainwindow"});
    EXPECT_TRUE(circle.empty()) << "a circle of includes between subfolders:" << Lines(circle);
}

TEST(ControllerFolders, TheCircleCheckFindsACircleAndNamesItsIncludes)
{
    const std::vector<Include> includes = {
        {"mail/ReadMail.cpp", "applets/KldForms.h"},
        {"applets/KldForms.cpp", "notifications/NotifyRules.h"},
        {"notifications/NotifyRules.cpp", "mail/MailRules.h"},
        {"mainwindow/OrvaneBrowser4.cpp", "mail/ReadMail.h"},
        {"mail/ReadMail.cpp", "mainwindow/OrvaneBrowser4.h"},
    };
    const auto circle = FindCircle(FolderEdges(includes), {".", "mainwindow"});
    ASSERT_EQ(circle.size(), 3u) << Lines(circle);
    EXPECT_NE(Lines(circle).find("notifications/NotifyRules.cpp includes mail/MailRules.h"), std::string::npos)
        << Lines(circle);

    // Through the window alone it is the design's circle, not a new one.
    EXPECT_TRUE(FindCircle(FolderEdges({includes[3], includes[4]}), {".", "mainwindow"}).empty());
}

TEST(ControllerFolders, TheUpdateHelpersFilesIncludeNothingElseOfTheFolder)
{
    const std::set<std::string> library = {"files/KldSciZipFile.h", "files/KldSciZipFile.cpp", "files/ovnUtils.h",
                                           "files/ovnUtils.cpp", "update/ProgramRestore.h",
                                           "update/ProgramRestore.cpp"};
    for (const auto& name : library)
        ASSERT_TRUE(fs::exists(ControllerFolder / name)) << name;
    for (const auto& include : IncludesOfTheFolder())
        if (library.count(include.File))
            EXPECT_TRUE(library.count(include.Target)) << include.File << " includes " << include.Target;
}
