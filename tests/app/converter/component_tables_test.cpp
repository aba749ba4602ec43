// The driver's rows against the catalogue: every row names a catalogue descriptor, each sink
// row's level and tag functions belong to its own sink, and what we write we can read back.
#include "app/catalogue/format_catalogue.h"
#include "app/converter/component_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

TEST(ComponentRows, RowsComeFromTheCatalogueAndPairEachSinkWithItsOwnSettings) {
    std::set<std::string_view> sources;
    for (const TSourceRow& row : ComponentRows().sources) {
        const bool listed = std::any_of(
            qm::DescriptorLookupList.begin(), qm::DescriptorLookupList.end(),
            [&](std::string_view e) { return qm::LookupEntryDescriptor(e) == row.descriptor; });
        EXPECT_TRUE(listed) << "source row '" << row.descriptor << "'";
        EXPECT_TRUE(sources.insert(row.descriptor).second) << "two rows for " << row.descriptor;
        EXPECT_EQ(FindSourceRow(row.descriptor), &row);
    }
    ASSERT_FALSE(sources.empty());

    std::set<std::string_view> sinks;
    for (const TSinkRow& row : ComponentRows().sinks) {
        const qm::TTargetFormat* target = qm::FindTargetByDescriptor(row.descriptor);
        ASSERT_NE(target, nullptr) << "sink row '" << row.descriptor << "'";
        EXPECT_TRUE(sinks.insert(row.descriptor).second) << "two rows for " << row.descriptor;
        EXPECT_EQ(FindSinkRow(row.descriptor), &row);
        // A row applied to a sink of its own kind works at every level; another kind is refused.
        auto sink = row.create();
        for (int level = 0; level <= 11; ++level)
            EXPECT_NO_THROW(row.applyLevel(*sink, level)) << row.descriptor << " " << level;
        TCommonTags tags;
        tags.SetTitle("A title");
        EXPECT_NO_THROW(row.applyTags(*sink, &tags));
        EXPECT_NO_THROW(row.applyTags(*sink, nullptr));
        for (const TSinkRow& other : ComponentRows().sinks) {
            if (&other == &row) continue;
            auto foreign = other.create();
            EXPECT_ANY_THROW(row.applyLevel(*foreign, 5))
                << row.descriptor << " on " << other.descriptor;
        }
        // What we write we can read back.
        EXPECT_NE(FindSourceRow(qm::SourceDescriptorOfExtension(target->Extension)), nullptr)
            << target->Descriptor;
    }
    EXPECT_EQ(FindSinkRow(""), nullptr);
    // The target form of the WavPack descriptor is not a source descriptor.
    EXPECT_EQ(FindSourceRow(qm::WavPackTarget.Descriptor), nullptr);
}
