#include "character/CharacterFile.h"
#include "character/CharacterRegistry.h"
#include "character/EditorTestSupport.h"
#include "character/FigureFixture.h"
#include "character/PackageSelection.h"
#include "engine/SaveBuffer.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Set "s" declares the layers; "p" brings two items to each, "q" three more to Back and Fixed,
// so Back's global items 3..5 are q's items 1..3.
const char* const kLayers = R"(
    [ Name="Back" Subcategory="Main" ItemCount="0" ]
    [ Name="Fixed" Subcategory="Main" ItemCount="0" Removable="0" ]
    [ Name="Pants" Subcategory="Main" ItemCount="0" Colorable="1" IgnoreItem="Skirt" ]
    [ Name="Skirt" Subcategory="Main" ItemCount="0" IgnoreItem="Pants" ]
    [ Name="Prop" Subcategory="Main" ItemCount="0" Movable="1" ]
    [ Name="Over" Subcategory="Links" ItemCount="0" Toggle="Pants" ])";

std::string Items(int count)
{
    std::string text;
    for (const char* name : {"Back", "Fixed", "Pants", "Skirt", "Prop"}) {
        text += "[ Name=\"" + std::string(name) + "\" Subcategory=\"Main\" ItemCount=\"" + std::to_string(count) + "\" ]";
    }
    return text;
}

struct LayerState {
    std::string name;
    int drawnItem;
    int r, g, b, a;
    int toggled;
    float offsetX, offsetY;
    bool operator==(const LayerState& o) const
    {
        return name == o.name && drawnItem == o.drawnItem && r == o.r && g == o.g && b == o.b && a == o.a &&
               toggled == o.toggled && offsetX == o.offsetX && offsetY == o.offsetY;
    }
};

std::ostream& operator<<(std::ostream& out, const LayerState& s)
{
    return out << s.name << " item " << s.drawnItem << " rgba " << s.r << "," << s.g << "," << s.b << "," << s.a
               << " toggled " << s.toggled << " offset " << s.offsetX << "," << s.offsetY;
}

class CharacterFileTest : public FigureFixture {
protected:
    void SetUp() override
    {
        FigureFixture::SetUp();
        scope = std::make_unique<EditorTestScope>();
        TextTable::Parse("[ERR_SAVE_CORRUPT]{damaged figure}[ERR_SAVE_VERSION]{old figure}"
                         "[ERR_SAVE_NOT_WRITABLE]{cannot write figure}[ERR_DEV_PACK]{dev figure}"
                         "[ERR_SAVE_NOT_FOUND]{no figure}[ERR_SAVE_MISSING_SET]{figure needs %n}"
                         "[ERR_SAVE_NEWER]{newer figure}[ERR_SAVE_NOT_READABLE]{unreadable figure}");
        log->Allow("damaged figure");
        log->Allow("unreadable figure");
        log->Allow("Cannot read");
        log->Allow("figure needs");
        log->Allow("cannot write figure");
        log->Allow("not saved to");
        // The model has no pictures: the movable layer looks for one before it is placed.
        log->Allow("dat/p.lba");
        log->Allow("dat/q.lba");
        auto& sets = CharacterRegistry::Sets();
        const std::string zoom = R"(Zoom { [ Subcategory="Main" ] [ Subcategory="Links" ] })";
        sets.push_back(ParseSet("s", zoom + R"(Dimensions { [ Width="100" Height="100" ] } Items {)" + kLayers + "}"));
        sets.push_back(ParseSet("p", zoom + "Items {" + Items(2) + "}"));
        sets.push_back(ParseSet("q", zoom + "Items {" + Items(3) + "}"));
        CharacterRegistry::SetPackageActivation([](const std::string&) {
            CharacterRegistry::MixPackage("p");
            CharacterRegistry::MixPackage("q");
        });
        EditorTestScope::AddPackages({"s", "p", "q"});
        ASSERT_TRUE(CharacterRegistry::LoadCharacter("s", false, false));
    }

    void TearDown() override
    {
        scope.reset();
        TextTable::Clear();
        FigureFixture::TearDown();
    }

    static std::vector<LayerState> Figure()
    {
        std::vector<LayerState> out;
        for (const auto& c : CharacterRegistry::Categories()) {
            out.push_back(LayerState{c->Name, c->Visible ? c->CurrentItem : 0, c->Color.r, c->Color.g, c->Color.b,
                                     c->Color.a, c->Toggled, c->OffsetX, c->OffsetY});
        }
        return out;
    }

    // A figure that touches every field: a second package's item, a layer that cannot be emptied,
    // one hidden by an exclusion, colour, toggle and offsets.
    void MakeFigure()
    {
        Layer("Back").SelectItem(4);
        Layer("Fixed").SelectItem(2);
        Layer("Pants").SelectItem(1);
        Layer("Pants").ApplyColor(SDL_Color{200, 100, 50, 255});
        Layer("Skirt").SelectItem(2); // hides Pants
        Layer("Prop").SelectItem(1);
        Layer("Prop").OffsetX = 12.5f;
        Layer("Prop").OffsetY = -3.0f;
        Layer("Over").Toggled = 1;
    }

    std::string Path(const std::string& name) const { return temp->File(name); }

    static void WritePayload(const std::string& path, const std::string& payload,
                             const std::string& header = "lbd", const std::string& key = "figurePackSaver")
    {
        SaveBuffer buffer;
        buffer.payload = payload;
        ASSERT_TRUE(buffer.WriteFile(path, header, key));
    }

    std::unique_ptr<EditorTestScope> scope;
};

// One record in the layout of a given file version.
void AppendRecord(SaveBuffer& out, std::uint32_t version, const std::string& package, const std::string& category,
                  std::int32_t item, std::uint8_t toggled, const std::vector<std::uint32_t>& colour,
                  const std::vector<float>& hsv, float offsetX, float offsetY)
{
    out.WriteString(package);
    out.WriteString(category);
    out.WriteU32(static_cast<std::uint32_t>(item));
    out.WriteU8(toggled);
    if (version >= 3) {
        for (std::uint32_t c : colour) {
            out.WriteU32(c);
        }
    } else {
        for (float f : hsv) {
            out.WriteFloat(f);
        }
    }
    if (version == 0) {
        for (int i = 0; i < 12; ++i) {
            out.WriteU32(0xDEADBEEF);
        }
    }
    out.WriteFloat(offsetX);
    out.WriteFloat(offsetY);
}

} // namespace

TEST_F(CharacterFileTest, SavedFigureLoadsBackAsItWas)
{
    MakeFigure();
    const std::vector<LayerState> saved = Figure();
    ASSERT_EQ(saved[2].drawnItem, 0) << "Pants are hidden by the skirt";
    scope->answers.push_back(Path("figure.lbd"));
    CharacterFile::Save(true);
    EXPECT_EQ(scope->dialogs, std::vector<std::string>{"save lbd"});
    ASSERT_TRUE(std::filesystem::exists(Path("figure.lbd")));
    for (const std::string& name : platform::ListFolderFiles(temp->Path()))
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    // The hidden layer is stored as item 0 of its set; Back's item 4 as the second package's 2.
    const auto& records = CharacterFile::Records();
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[0].Package, "q");
    EXPECT_EQ(records[0].Item, 2);
    EXPECT_EQ(records[2].Package, "s");
    EXPECT_EQ(records[2].Item, 0);

    CharacterRegistry::ApplyDefaults(false);
    Layer("Prop").OffsetX = 0;
    Layer("Over").Toggled = 0;
    ASSERT_NE(Figure(), saved);
    ASSERT_TRUE(CharacterFile::Load(true, Path("figure.lbd")));
    ASSERT_TRUE(CharacterFile::Apply());
    EXPECT_EQ(Figure(), saved);
    EXPECT_EQ(CharacterFile::StoredSetName(), "s");
    EXPECT_TRUE(CharacterRegistry::FigureDirty());
    EXPECT_TRUE(PackageSelection::Contains("")) << "the packages of the items are selected again";

    // The settings screen's way: keep, rebuild the same set empty, apply.
    CharacterFile::Save(false);
    ASSERT_TRUE(CharacterFile::Load(false, ""));
    EXPECT_EQ(CharacterRegistry::CurrentSetName(), "s");
    EXPECT_EQ(Layer("Back").CurrentItem, 0);
    ASSERT_TRUE(CharacterFile::Apply());
    EXPECT_EQ(Figure(), saved);
    EXPECT_EQ(scope->dialogs.size(), 1u) << "saving without asking opens no dialog";
}

TEST_F(CharacterFileTest, EmptyMovableLayerLoadsWithoutLookingForAPicture)
{
    MakeFigure();
    Layer("Prop").SelectItem(0);
    scope->answers.push_back(Path("empty-prop.lbd"));
    CharacterFile::Save(true);
    log->Clear();
    ASSERT_TRUE(CharacterFile::Load(true, Path("empty-prop.lbd")));
    ASSERT_TRUE(CharacterFile::Apply());
    EXPECT_EQ(Layer("Prop").CurrentItem, 0);
    EXPECT_FALSE(log->Contains("dat/")) << "no picture is looked for on an empty layer";
}

TEST_F(CharacterFileTest, OlderVersionsAndOddValuesAreReadSafely)
{
    struct Case {
        const char* name;
        std::uint32_t version;
        std::string package;
        std::string category;
        std::int32_t item;
        std::uint8_t toggled;
        std::vector<std::uint32_t> colour;
        std::vector<float> hsv;
        float offsetX;
        LayerState expected; // Back unless the case names another layer
        bool versionMessage;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<Case> cases = {
        {"version 3; a layer that cannot be moved keeps its place", 3, "q", "Pants", 1, 0, {10, 20, 30, 40}, {}, 4.0f,
         {"Pants", 3, 10, 20, 30, 40, 0, 0, 0}, false},
        {"version 2 converts HSV", 2, "p", "Pants", 2, 0, {}, {0.0f, 1.0f, 1.0f, 0.5f}, 0.0f,
         {"Pants", 2, 255, 0, 0, 255, 0, 0, 0}, false},
        {"version 1 says it is old", 1, "p", "Pants", 1, 0, {}, {1.0f / 3.0f, 1.0f, 1.0f, 0.0f}, 0.0f,
         {"Pants", 1, 0, 255, 0, 255, 0, 0, 0}, true},
        {"version 0 skips 48 bytes", 0, "p", "Prop", 1, 1, {}, {0.0f, 0.0f, 1.0f, 0.0f}, 2.0f,
         {"Prop", 1, 255, 255, 255, 255, 1, 2.0f, 0}, true},
        {"colour channels clamp", 3, "p", "Pants", 1, 0, {300, 70000, 255, 0xFFFFFFFF}, {}, 0.0f,
         {"Pants", 1, 255, 255, 255, 255, 0, 0, 0}, false},
        {"negative item selects nothing", 3, "p", "Back", -1, 0, {255, 255, 255, 255}, {}, 0.0f,
         {"Back", 0, 255, 255, 255, 255, 0, 0, 0}, false},
        {"item beyond the package selects nothing", 3, "q", "Back", 4, 0, {255, 255, 255, 255}, {}, 0.0f,
         {"Back", 0, 255, 255, 255, 255, 0, 0, 0}, false},
        {"item 0 of a layer that cannot be emptied keeps item 1", 3, "p", "Fixed", 0, 0, {255, 255, 255, 255}, {},
         0.0f, {"Fixed", 1, 255, 255, 255, 255, 0, 0, 0}, false},
        {"package not installed selects nothing", 3, "zz", "Back", 1, 0, {255, 255, 255, 255}, {}, 0.0f,
         {"Back", 0, 255, 255, 255, 255, 0, 0, 0}, false},
        {"non-finite offset becomes 0", 3, "p", "Prop", 1, 0, {255, 255, 255, 255}, {}, nan,
         {"Prop", 1, 255, 255, 255, 255, 0, 0, 0}, false},
        {"infinite offset becomes 0", 3, "p", "Prop", 1, 0, {255, 255, 255, 255}, {}, -inf,
         {"Prop", 1, 255, 255, 255, 255, 0, 0, 0}, false},
        {"huge offset is clamped", 3, "p", "Prop", 1, 0, {255, 255, 255, 255}, {}, 1e9f,
         {"Prop", 1, 255, 255, 255, 255, 0, 65536.0f, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log->Clear();
        SaveBuffer out;
        out.WriteU32(c.version);
        out.WriteU32(3);
        // The same record twice: its toggle must not flip back; a layer the set lacks is skipped.
        AppendRecord(out, c.version, c.package, c.category, c.item, c.toggled, c.colour, c.hsv, c.offsetX, 0.0f);
        AppendRecord(out, c.version, c.package, c.category, c.item, c.toggled, c.colour, c.hsv, c.offsetX, 0.0f);
        AppendRecord(out, c.version, "p", "NoSuchLayer", 1, 1, {1, 2, 3, 4}, {0, 0, 0, 0}, 0.0f, 0.0f);
        out.WriteString("s");
        WritePayload(Path("case.lbd"), out.payload);
        ASSERT_TRUE(CharacterFile::LoadFile(Path("case.lbd")));
        ASSERT_TRUE(CharacterFile::Apply());
        const LayerState state = Figure()[static_cast<std::size_t>(Layer(c.expected.name).Index)];
        EXPECT_EQ(state, c.expected);
        EXPECT_EQ(log->Contains("old figure"), c.versionMessage);
    }
}

TEST_F(CharacterFileTest, DamagedFilesLeaveTheFigureExactlyAsItWas)
{
    MakeFigure();
    scope->answers.push_back(Path("good.lbd"));
    CharacterFile::Save(true);
    SaveBuffer reader;
    ASSERT_TRUE(reader.ReadFile(Path("good.lbd"), "lbd", "figurePackSaver"));
    const std::string payload = reader.payload;

    // Another figure is current and the records hold the snapshot of another file.
    CharacterRegistry::ApplyDefaults(true);
    Layer("Back").SelectItem(1);
    CharacterFile::Snapshot();
    const std::vector<LayerState> before = Figure();
    const std::size_t recordsBefore = CharacterFile::Records().size();
    const std::uint32_t generation = CharacterRegistry::Generation();
    auto expectUnchanged = [&](const std::string& what, const std::string& message = "damaged figure") {
        EXPECT_EQ(Figure(), before) << what;
        EXPECT_EQ(CharacterRegistry::Generation(), generation) << what;
        EXPECT_EQ(CharacterFile::Records().size(), recordsBefore) << what;
        EXPECT_TRUE(log->Contains(message)) << what;
        // One honest message: a missing or unreadable file is not also called damaged.
        EXPECT_EQ(log->Contains("damaged figure"), message == "damaged figure") << what;
        log->Clear();
    };
    for (std::size_t length = 0; length < payload.size(); ++length) {
        WritePayload(Path("cut.lbd"), payload.substr(0, length));
        EXPECT_FALSE(CharacterFile::LoadFile(Path("cut.lbd")));
        expectUnchanged("cut at " + std::to_string(length));
    }
    struct Bad {
        const char* name;
        std::string payload;
        std::string header;
        std::string key;
        std::string message = "damaged figure";
    };
    SaveBuffer hugeCount;
    hugeCount.WriteU32(3);
    hugeCount.WriteU32(0x7FFFFFFF);
    hugeCount.WriteString("s");
    SaveBuffer longString;
    longString.WriteU32(3);
    longString.WriteU32(1);
    longString.WriteU32(0xFFFFFFF0);
    longString.payload += std::string(40, 'x');
    SaveBuffer noRecords;
    noRecords.WriteU32(3);
    noRecords.WriteU32(0);
    noRecords.WriteString("s");
    std::string unknownSet = payload;
    unknownSet.replace(unknownSet.size() - 1, 1, "x");
    // The set name is the last field: its length, then its bytes.
    SaveBuffer hugeName;
    hugeName.payload = payload.substr(0, payload.size() - 5);
    hugeName.WriteString(std::string(1000000, 'x'));
    const std::vector<Bad> bad = {
        {"wrong key", payload, "lbd", "otherKey"},
        {"wrong header", payload, "lbx", "figurePackSaver"},
        {"record count beyond the data", hugeCount.payload, "lbd", "figurePackSaver"},
        {"string length beyond the data", longString.payload, "lbd", "figurePackSaver"},
        {"no records", noRecords.payload, "lbd", "figurePackSaver"},
        // A sound file for a set that is not installed names the package to get, not damage.
        {"set not installed", unknownSet, "lbd", "figurePackSaver", "figure needs x"},
        // The box gets the name cut to what it can show, at once, not a megabyte to wrap.
        {"set name of a megabyte", hugeName.payload, "lbd", "figurePackSaver",
         "figure needs " + std::string(kShownNameBytes - 3, 'x') + "\xE2\x80\xA6"},
    };
    for (const Bad& b : bad) {
        WritePayload(Path("bad.lbd"), b.payload, b.header, b.key);
        EXPECT_FALSE(CharacterFile::Load(true, Path("bad.lbd"))) << b.name;
        expectUnchanged(b.name, b.message);
    }
    ASSERT_EQ(mkfifo(Path("pipe.lbd").c_str(), 0600), 0);
    const struct {
        const char* name;
        std::string path;
        const char* message;
    } unopened[] = {
        {"missing file", Path("missing.lbd"), "no figure"},
        // Chosen in the file dialog, a pipe is refused at once rather than waited on.
        {"pipe", Path("pipe.lbd"), "unreadable figure"},
    };
    for (const auto& u : unopened) {
        EXPECT_FALSE(CharacterFile::Load(true, u.path)) << u.name;
        expectUnchanged(u.name, u.message);
    }
    // A newer program's figure is not read as if it were in the current layout.
    for (const std::uint32_t newer : {4u, 99u, 0xFFFFFFFFu}) {
        SaveBuffer version;
        version.WriteU32(newer);
        WritePayload(Path("newer.lbd"), version.payload + payload.substr(4));
        EXPECT_FALSE(CharacterFile::Load(true, Path("newer.lbd")));
        expectUnchanged("version " + std::to_string(newer), "newer figure");
    }
    // The unknown set is named in the log.
    WritePayload(Path("bad.lbd"), unknownSet);
    CharacterFile::LoadFile(Path("bad.lbd"));
    EXPECT_TRUE(log->Contains("set x,")) << "the log names the set";
}

TEST_F(CharacterFileTest, SavesThatCannotHappenKeepTheOldFile)
{
    MakeFigure();
    const std::string path = Path("kept.lbd");
    std::ofstream(path) << "old contents";
    auto contents = [&] {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    // Nothing can be written beside the target: the write fails after the dialog.
    const std::string beside = path + ".";
    platform::SetWriteFailureFunction(
        [&beside](const std::string& written) { return written.compare(0, beside.size(), beside) == 0; });
    scope->answers.push_back(path);
    CharacterFile::Save(true);
    platform::SetWriteFailureFunction(nullptr);
    EXPECT_TRUE(log->Contains("cannot write figure"));
    EXPECT_EQ(contents(), "old contents");
    EXPECT_FALSE(CharacterFile::Write(Path("no/such/folder/f.lbd")));

    // A cancelled dialog writes nothing; a selected "dev" package asks for no path at all.
    scope->dialogs.clear();
    CharacterFile::Save(true);
    EXPECT_EQ(scope->dialogs.size(), 1u);
    PackageSelection::Toggle("dev", true);
    scope->answers.push_back(Path("dev.lbd"));
    CharacterFile::Save(true);
    EXPECT_EQ(scope->dialogs.size(), 1u);
    EXPECT_TRUE(log->Contains("dev figure"));
    EXPECT_FALSE(std::filesystem::exists(Path("dev.lbd")));

    // While the tutorial runs, a load without a path takes its demo figure and asks nothing.
    PackageSelection::Clear();
    ASSERT_TRUE(CharacterFile::Write(Path("demo.lbd")));
    scope->tutorial.running = true;
    CharacterRegistry::ApplyDefaults(false);
    EXPECT_TRUE(CharacterFile::Load(true, ""));
    EXPECT_EQ(scope->dialogs.size(), 1u);
}
