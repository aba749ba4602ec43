// APEv2: the item container's keys, their sorted order and the kinds its properties store.
#include "tags/apev2/apev2_tags.h"
#include "tags/text_encoding.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(APEv2Tags, TwentyFiveNullItemsVisitedInSortedOrder) {
    TAPEv2Tags tags;
    const std::vector<std::string> expected = {
        "Abstract", "Album",    "Artist",    "Bibliography", "Catalog",
        "Comment",  "Composer", "Conductor", "Copyright",    "Debut album",
        "EAN/UPC",  "File",     "Genre",     "ISBN",         "ISRC",
        "Language", "LC",       "Publisher", "Record Date",  "Record Location",
        "Related",  "Subtitle", "Title",     "Track",        "Year"};
    std::vector<std::string> names;
    for (int index = 0; index < tags.FieldCount(); ++index) {
        names.push_back(tags.FieldName(index));
        EXPECT_TRUE(tags.GetField(names.back()).IsNull()) << names.back();
    }
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(tags.Empty());
}

struct Property {
    const char* Key;
    std::function<void(TAPEv2Tags&, std::string_view)> Set;
    std::function<std::string(const TAPEv2Tags&)> Get;
    bool Wide;
};

TEST(APEv2Tags, EveryPropertyReachesItsItemWithItsKind) {
    const std::vector<Property> properties = {
        {"Artist", &TAPEv2Tags::SetArtist, &TAPEv2Tags::Artist, true},
        {"Composer", &TAPEv2Tags::SetComposer, &TAPEv2Tags::Composer, true},
        {"Album", &TAPEv2Tags::SetAlbum, &TAPEv2Tags::Album, true},
        {"Debut album", &TAPEv2Tags::SetDebutAlbum, &TAPEv2Tags::DebutAlbum, true},
        {"Publisher", &TAPEv2Tags::SetPublisher, &TAPEv2Tags::Publisher, true},
        {"Conductor", &TAPEv2Tags::SetConductor, &TAPEv2Tags::Conductor, true},
        {"Copyright", &TAPEv2Tags::SetCopyright, &TAPEv2Tags::Copyright, true},
        {"ISBN", &TAPEv2Tags::SetISBN, &TAPEv2Tags::ISBN, false},
        {"ISRC", &TAPEv2Tags::SetISRC, &TAPEv2Tags::ISRC, false},
        {"EAN/UPC", &TAPEv2Tags::SetBarCode, &TAPEv2Tags::BarCode, false},
        {"LC", &TAPEv2Tags::SetLabelCode, &TAPEv2Tags::LabelCode, false},
        {"Catalog", &TAPEv2Tags::SetCatalog, &TAPEv2Tags::Catalog, false},
        {"Language", &TAPEv2Tags::SetLanguage, &TAPEv2Tags::Language, true},
        {"Genre", &TAPEv2Tags::SetGenre, &TAPEv2Tags::Genre, true},
        {"Year", &TAPEv2Tags::SetYear, &TAPEv2Tags::Year, false},
        {"Record Date", &TAPEv2Tags::SetRecordDate, &TAPEv2Tags::RecordDate, false},
        {"Record Location", &TAPEv2Tags::SetRecordLocation, &TAPEv2Tags::RecordLocation, true},
        {"File", &TAPEv2Tags::SetFile_, &TAPEv2Tags::File_, true},
        {"Related", &TAPEv2Tags::SetRelated, &TAPEv2Tags::Related, true},
        {"Abstract", &TAPEv2Tags::SetAbstract, &TAPEv2Tags::Abstract, true},
        {"Bibliography", &TAPEv2Tags::SetBibliography, &TAPEv2Tags::Bibliography, true},
        {"Track", &TAPEv2Tags::SetTrack, &TAPEv2Tags::Track, false},
        {"Title", &TAPEv2Tags::SetTitle, &TAPEv2Tags::Title, true},
        {"Subtitle", &TAPEv2Tags::SetSubTitle, &TAPEv2Tags::SubTitle, true},
        {"Comment", &TAPEv2Tags::SetComment, &TAPEv2Tags::Comment, true},
    };
    ASSERT_EQ(properties.size(), 25u);
    for (const Property& property : properties) {
        TAPEv2Tags tags;
        const std::string value = std::string("v\xC3\xA9 ") + property.Key;
        property.Set(tags, value);
        const TTagValue stored = tags.GetField(property.Key);
        EXPECT_EQ(stored, property.Wide ? TTagValue(tags::Utf8ToUtf16(value)) : TTagValue(value))
            << property.Key;
        EXPECT_EQ(property.Get(tags), value) << property.Key;
        for (int index = 0; index < tags.FieldCount(); ++index) {
            if (tags.FieldName(index) != property.Key) {
                EXPECT_TRUE(tags.GetField(tags.FieldName(index)).IsNull()) << property.Key;
            }
        }
    }
}

TEST(APEv2Tags, WideYearReadsBackThroughTheNarrowProperty) {
    TAPEv2Tags tags;
    tags.SetField("year", TTagValue(u"2004"));
    EXPECT_EQ(tags.Year(), "2004");
    tags.SetField("Year", TTagValue(1998));
    EXPECT_EQ(tags.Year(), "1998");
}

TEST(APEv2Tags, SettingATitleMakesTheObjectNonEmpty) {
    TAPEv2Tags tags;
    ASSERT_TRUE(tags.Empty());
    tags.SetTitle("Song");
    EXPECT_FALSE(tags.Empty());
    EXPECT_TRUE(tags.Changed());
}

} // namespace
