// The items of an APEv2 tag. A pure container: the codec libraries read and write the APEv2
// bytes themselves, by item key.
#pragma once

#include "tags/au_tags.h"
#include "tags/common_tags.h"

class TAPEv2Tags : public TAuTags {
public:
    TAPEv2Tags();

    std::string Artist() const { return GetWide("Artist"); }
    void SetArtist(std::string_view value) { SetWide("Artist", value); }
    std::string Composer() const { return GetWide("Composer"); }
    void SetComposer(std::string_view value) { SetWide("Composer", value); }
    std::string Album() const { return GetWide("Album"); }
    void SetAlbum(std::string_view value) { SetWide("Album", value); }
    std::string DebutAlbum() const { return GetWide("Debut album"); }
    void SetDebutAlbum(std::string_view value) { SetWide("Debut album", value); }
    std::string Publisher() const { return GetWide("Publisher"); }
    void SetPublisher(std::string_view value) { SetWide("Publisher", value); }
    std::string Conductor() const { return GetWide("Conductor"); }
    void SetConductor(std::string_view value) { SetWide("Conductor", value); }
    std::string Copyright() const { return GetWide("Copyright"); }
    void SetCopyright(std::string_view value) { SetWide("Copyright", value); }
    std::string ISBN() const { return GetNarrow("ISBN"); }
    void SetISBN(std::string_view value) { SetNarrow("ISBN", value); }
    std::string ISRC() const { return GetNarrow("ISRC"); }
    void SetISRC(std::string_view value) { SetNarrow("ISRC", value); }
    std::string BarCode() const { return GetNarrow("EAN/UPC"); }
    void SetBarCode(std::string_view value) { SetNarrow("EAN/UPC", value); }
    std::string LabelCode() const { return GetNarrow("LC"); }
    void SetLabelCode(std::string_view value) { SetNarrow("LC", value); }
    std::string Catalog() const { return GetNarrow("Catalog"); }
    void SetCatalog(std::string_view value) { SetNarrow("Catalog", value); }
    std::string Language() const { return GetWide("Language"); }
    void SetLanguage(std::string_view value) { SetWide("Language", value); }
    std::string Genre() const { return GetWide("Genre"); }
    void SetGenre(std::string_view value) { SetWide("Genre", value); }
    // Read as wide text and narrowed, so a wide value set by a library reads back too.
    std::string Year() const { return GetWide("Year"); }
    void SetYear(std::string_view value) { SetNarrow("Year", value); }
    std::string RecordDate() const { return GetNarrow("Record Date"); }
    void SetRecordDate(std::string_view value) { SetNarrow("Record Date", value); }
    std::string RecordLocation() const { return GetWide("Record Location"); }
    void SetRecordLocation(std::string_view value) { SetWide("Record Location", value); }
    std::string File_() const { return GetWide("File"); }
    void SetFile_(std::string_view value) { SetWide("File", value); }
    std::string Related() const { return GetWide("Related"); }
    void SetRelated(std::string_view value) { SetWide("Related", value); }
    std::string Abstract() const { return GetWide("Abstract"); }
    void SetAbstract(std::string_view value) { SetWide("Abstract", value); }
    std::string Bibliography() const { return GetWide("Bibliography"); }
    void SetBibliography(std::string_view value) { SetWide("Bibliography", value); }
    std::string Track() const { return GetNarrow("Track"); }
    void SetTrack(std::string_view value) { SetNarrow("Track", value); }
    std::string Title() const { return GetWide("Title"); }
    void SetTitle(std::string_view value) { SetWide("Title", value); }
    std::string SubTitle() const { return GetWide("Subtitle"); }
    void SetSubTitle(std::string_view value) { SetWide("Subtitle", value); }
    std::string Comment() const { return GetWide("Comment"); }
    void SetComment(std::string_view value) { SetWide("Comment", value); }
};

namespace tags {

// The common tags of a source tagged with APEv2: cleared, then title, artist, album, genre,
// year and track from the items.
void ApeToCommon(const TAPEv2Tags& apev2, TCommonTags& common);

} // namespace tags
