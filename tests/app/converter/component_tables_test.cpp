// The driver's rows against the catalogue: every row names a catalogue format, each sink
// row's level and tag functions belong to its own sink, and what we write we can read back.
#include "app/catalogue/format_catalogue.h"
#include "app/converter/component_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

TEST(ComponentRows, RowsComeFromTheCatalogueAndPairEachSinkWithItsOwnSettings) {
    std::set<qm::TSourceId> sources;
    for (const TSourceRow& row : ComponentRows().sources) {
        const bool listed =
            std::any_of(qm::SourceFormats.begin(), qm::SourceFormats.end(),
                        [&](const qm::TSourceFormat& format) { return format.Id == row.format; });
        EXPECT_TRUE(listed) << "source row " << int(row.format);
        EXPECT_TRUE(sources.insert(row.format).second) << "two rows for " << int(row.format);
        EXPECT_EQ(FindSourceRow(row.format), &row);
    }
    ASSERT_FALSE(sources.empty());

    std::set<qm::TTargetId> sinks;
    for (const TSinkRow& row : ComponentRows().sinks) {
        const qm::TTargetFormat* target = qm::FindTarget(row.target);
        ASSERT_NE(target, nullptr) << "sink row " << int(row.target);
        EXPECT_TRUE(sinks.insert(row.target).second) << "two rows for " << target->Descriptor;
        EXPECT_EQ(FindSinkRow(row.target), &row);
        // A row applied to a sink of its own kind works at every level; another kind is refused.
        auto sink = row.create();
        for (int level = 0; level <= 11; ++level)
            EXPECT_NO_THROW(row.applyLevel(*sink, level)) << target->Descriptor << " " << level;
        TCommonTags tags;
        tags.SetTitle("A title");
        EXPECT_NO_THROW(row.applyTags(*sink, &tags));
        EXPECT_NO_THROW(row.applyTags(*sink, nullptr));
        for (const TSinkRow& other : ComponentRows().sinks) {
            if (&other == &row) continue;
            auto foreign = other.create();
            EXPECT_ANY_THROW(row.applyLevel(*foreign, 5))
                << target->Descriptor << " on " << qm::TargetDescriptor(other.target);
        }
        // What we write we can read back.
        EXPECT_NE(FindSourceRow(qm::SourceIdOfExtension(target->Extension)), nullptr)
            << target->Descriptor;
    }
    EXPECT_EQ(FindSinkRow(qm::TTargetId::None), nullptr);
    EXPECT_EQ(FindSourceRow(qm::TSourceId::None), nullptr);
}
