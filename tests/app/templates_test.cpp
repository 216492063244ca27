// The compiled templates "VELK" and "CUSTOMSIZE" read back from the resources
// linked into the program: every control with its id, class, style, text and
// position, so that no resource-compiler default slips in.
#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "res/resource.h"

namespace {
struct Item {
    int id;
    std::string cls;
    DWORD style;
    std::string text;
    short x, y, cx, cy;
};

struct Template {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::string caption;
    int pointSize = 0;
    std::string font;
    std::vector<Item> items;
};

class Reader {
public:
    explicit Reader(const BYTE* data) : p_(data) {}
    WORD Word() {
        WORD w;
        memcpy(&w, p_, 2);
        p_ += 2;
        return w;
    }
    DWORD Dword() {
        DWORD d;
        memcpy(&d, p_, 4);
        p_ += 4;
        return d;
    }
    short Short() { return static_cast<short>(Word()); }
    std::string String() {
        std::string s;
        for (WORD c = Word(); c != 0; c = Word()) s += static_cast<char>(c);
        return s;
    }
    // A name or an ordinal (0xFFFF then a number), as "#number".
    std::string NameOrOrdinal() {
        WORD first = Word();
        if (first == 0xFFFF) return "#" + std::to_string(Word());
        std::string s;
        for (WORD c = first; c != 0; c = Word()) s += static_cast<char>(c);
        return s;
    }
    void AlignDword(const BYTE* base) {
        while ((p_ - base) % 4 != 0) ++p_;
    }
    void Skip(size_t n) { p_ += n; }

private:
    const BYTE* p_;
};

std::string ClassName(std::string cls) {
    if (cls == "#128") return "BUTTON";
    if (cls == "#129") return "EDIT";
    if (cls == "#130") return "STATIC";
    if (cls == "#133") return "COMBOBOX";
    for (char& c : cls) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return cls;
}

Template ReadTemplate(const char* name) {
    Template t;
    HRSRC found = FindResourceA(nullptr, name, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (found == nullptr) {
        ADD_FAILURE() << "no dialog template " << name;
        return t;
    }
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    Reader r(base);
    t.style = r.Dword();
    EXPECT_NE(0xFFFF0001u, t.style) << name << " is an extended template; expected the classic form";
    if (t.style == 0xFFFF0001u) return t;
    r.Dword();  // extended style
    WORD count = r.Word();
    r.Short();
    r.Short();
    t.cx = r.Short();
    t.cy = r.Short();
    EXPECT_EQ("", r.NameOrOrdinal()) << name << " has a menu";
    EXPECT_EQ("", r.NameOrOrdinal()) << name << " has a class of its own";
    t.caption = r.String();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        t.font = r.String();
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword(base);
        Item item;
        item.style = r.Dword();
        r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = static_cast<short>(r.Word());
        item.cls = ClassName(r.NameOrOrdinal());
        item.text = r.NameOrOrdinal();
        r.Skip(r.Word());
        t.items.push_back(item);
    }
    return t;
}

void ExpectItems(const Template& t, const std::vector<Item>& expected) {
    ASSERT_EQ(expected.size(), t.items.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Item& want = expected[i];
        const Item& got = t.items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + want.text + "\"");
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(want.cls, got.cls);
        EXPECT_EQ(want.style | WS_CHILD | WS_VISIBLE, got.style)
            << std::hex << "expected 0x" << (want.style | WS_CHILD | WS_VISIBLE) << ", got 0x"
            << got.style;
        EXPECT_EQ(want.text, got.text);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
    }
}
}  // namespace

TEST(Templates, MainWindowHasEveryControlAsDesigned) {
    Template t = ReadTemplate("VELK");
    EXPECT_EQ(static_cast<DWORD>(WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER |
                                 DS_SETFONT | DS_ABSALIGN),
              t.style);
    EXPECT_EQ(422, t.cx);
    EXPECT_EQ(199, t.cy);
    EXPECT_EQ("VELK - Tresmal Ver 1.1", t.caption);
    EXPECT_EQ(8, t.pointSize);
    EXPECT_EQ("MS Sans Serif", t.font);
    const DWORD stat = SS_LEFT | SS_CENTERIMAGE | WS_GROUP;
    const DWORD push = BS_PUSHBUTTON | WS_TABSTOP;
    ExpectItems(t, {
        {-1, "BUTTON", BS_GROUPBOX, "", 13, 13, 393, 128},
        {-1, "STATIC", SS_LEFT | WS_GROUP, "File to be Split", 18, 23, 230, 9},
        {IDC_SOURCE_BOX, "EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, "", 18, 34, 230, 14},
        {IDC_BROWSE_SOURCE, "BUTTON", push, "Browse ...", 256, 34, 50, 14},
        {-1, "STATIC", SS_LEFT | WS_GROUP, "Destination Folder", 18, 54, 230, 8},
        {IDC_DEST_BOX, "COMBOBOX", CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, "", 18, 66, 230, 64},
        {IDC_BROWSE_DEST, "BUTTON", push, "Browse ...", 256, 64, 50, 14},
        {-1, "STATIC", SS_LEFT | WS_GROUP, "Split into File of Size", 17, 89, 99, 8},
        {IDC_SIZE_BOX, "COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, "", 17, 99, 91, 46},
        {-1, "BUTTON", BS_GROUPBOX, "", 14, 153, 393, 32},
        {IDC_SPLIT, "BUTTON", push, "Split", 35, 165, 50, 14},
        {IDC_CUSTOMIZE, "BUTTON", push, "Customize", 109, 165, 50, 14},
        {IDC_CLOSE, "BUTTON", push, "Close", 183, 165, 50, 14},
        {IDC_ABOUT, "BUTTON", push, "About", 260, 165, 50, 14},
        {IDC_HELPBUTTON, "BUTTON", push, "Help", 335, 165, 50, 14},
        {IDC_FILE_SIZE_TEXT, "STATIC", stat, "File Size : 0 KB", 313, 36, 83, 12},
        {IDC_PART_COUNT_TEXT, "STATIC", stat, "Num of Split Parts : 0", 121, 99, 129, 12},
        {IDC_SPLIT_SIZE_TEXT, "STATIC", stat, "Split Size : 1.38 MB", 19, 120, 129, 12},
        {-1, "STATIC", SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE, "#103", 316, 91, 20, 20},
        {-1, "STATIC", SS_CENTER | SS_CENTERIMAGE | WS_GROUP, "VELK - Tresmal Ver : 1.1", 249,
         115, 151, 17},
    });
}

TEST(Templates, CustomSizeDialogHasEveryControlAsDesigned) {
    Template t = ReadTemplate("CUSTOMSIZE");
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_CENTER |
                                 DS_SETFONT | DS_ABSALIGN),
              t.style);
    EXPECT_EQ(186, t.cx);
    EXPECT_EQ(113, t.cy);
    EXPECT_EQ("Choose Custom File Split Size", t.caption);
    EXPECT_EQ(8, t.pointSize);
    EXPECT_EQ("MS Sans Serif", t.font);
    ExpectItems(t, {
        {IDC_CUSTOM_SIZE_BOX, "EDIT", WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_RIGHT, "", 19, 16,
         45, 14},
        {IDC_CUSTOM_PARTS_BOX, "EDIT", WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_RIGHT, "", 19, 34,
         45, 14},
        {IDOK, "BUTTON", WS_TABSTOP | BS_PUSHBUTTON, "OK", 31, 81, 50, 14},
        {IDC_CUSTOM_CANCEL, "BUTTON", WS_TABSTOP | BS_PUSHBUTTON, "Cancel", 97, 81, 50, 14},
        {-1, "STATIC", WS_GROUP | SS_LEFT | SS_CENTERIMAGE, "Size in Bytes", 71, 15, 98, 14},
        {-1, "STATIC", WS_GROUP | SS_LEFT | SS_CENTERIMAGE, "or Number of Equal Parts", 71, 33, 98,
         14},
        {IDC_CUSTOM_SIZE_LABEL, "STATIC", WS_GROUP | SS_CENTER | SS_CENTERIMAGE, "", 19, 56, 144,
         16},
        {-1, "BUTTON", BS_GROUPBOX, "", 7, 7, 172, 99},
    });
}

TEST(Templates, TheProgramIconHoldsItsTwo32PixelImagesAndTrueColourOnesOfEachSize) {
    HRSRC group = FindResourceA(nullptr, MAKEINTRESOURCEA(IDI_VELK), MAKEINTRESOURCEA(14));
    ASSERT_NE(nullptr, group) << "no icon group 103";
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
    WORD count;
    memcpy(&count, dir + 4, 2);
    std::string images;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = dir + 6 + 14 * i;  // GRPICONDIRENTRY; a width of 0 is 256
        WORD bitCount;
        memcpy(&bitCount, entry + 6, 2);
        images += std::to_string(entry[0] == 0 ? 256 : entry[0]) + "x" + std::to_string(entry[1] == 0 ? 256 : entry[1]) +
                  "/" + std::to_string(bitCount) + " ";
    }
    EXPECT_EQ("32x32/4 32x32/8 16x16/32 24x24/32 48x48/32 256x256/32 ", images);
}
