#include "app/cli/cli_run.h"

#include "app/catalogue/format_catalogue.h"
#include "app/converter/component_tables.h"
#include "app/converter/quillmere_audio_converter.h"
#include "app/util/path_utils.h"
#include "pipeline/au_tagged_file.h"
#include "pipeline/main_thread.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <iomanip>
#include <memory>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

std::atomic<bool> gCliInterrupted{false};

namespace fs = std::filesystem;

namespace {

struct Line {
    TFileOutcome outcome = TFileOutcome::Converted;
    std::string source = {}, output = {}, message = {};
    std::string sourceKept = {}; // what of a source to be deleted was not, and why
    bool verified = false;
    bool beforeRun = false; // decided before any conversion started (unsupported, named twice)
};

std::string Bar(int percent, int width) {
    const int filled = percent < 0 ? 0 : std::min(width, percent * width / 100);
    return "[" + std::string(size_t(filled), '#') + std::string(size_t(width - filled), '.') + "]";
}

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

// A message on one line: its lines ("Error starting APECompress." CR LF "input file ...")
// become parts joined by ": ", each without the full stop that ended its line.
std::string OneLine(std::string_view message) {
    std::string joined;
    size_t start = 0;
    while (start <= message.size()) {
        size_t end = message.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = message.size();
        std::string_view part = message.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        if (!joined.empty()) {
            if (joined.back() == '.') joined.pop_back();
            joined += ": ";
        }
        joined += part;
    }
    return joined;
}

void PrintLine(std::ostream& out, Line line) {
    line.message = OneLine(line.message);
    out << qm::OutcomeWord(line.outcome) << " " << line.source;
    switch (line.outcome) {
    case TFileOutcome::Converted:
        out << " -> " << line.output;
        if (line.verified || !line.sourceKept.empty()) {
            out << " (" << (line.verified ? "verified" : "");
            out << (line.verified && !line.sourceKept.empty() ? "; " : "") << line.sourceKept
                << ")";
        }
        out << "\n";
        break;
    case TFileOutcome::ConvertedWithWarning:
        out << " -> " << line.output << " (" << line.message << ")\n";
        break;
    case TFileOutcome::Skipped:
        out << " (" << line.message << ")\n";
        break;
    case TFileOutcome::Failed:
        out << ": " << line.message << "\n";
        break;
    }
}

} // namespace

namespace {

// One driver of the run with the file it is converting.
struct Lane {
    TQuillmereAudioConverter driver;
    std::string currentName;
    int percent = 0;
    bool finished = false;
};

} // namespace

int RunConversion(const TCliOptions& options, std::ostream& out, bool terminal) {
    std::string outFolder;
    if (!options.outFolder.empty()) {
        outFolder = qm::RemoveTrailingSeparators(AbsolutePath(options.outFolder));
        std::error_code error;
        fs::create_directories(outFolder, error);
        if (error || !fs::is_directory(outFolder)) {
            out << "Cannot create the output folder " << outFolder << ": " << error.message()
                << "\n";
            return 1;
        }
    }

    std::vector<Line> lines;
    std::deque<TAudioFileDescriptor> pending;
    // A source named twice (or by two names) would be deleted after its first conversion and
    // then fail as missing: each file is converted once.
    std::set<std::pair<dev_t, ino_t>> seen;
    for (const auto& file : options.files) {
        if (!qm::IsSupportedAudioFile(file)) {
            lines.push_back({.outcome = TFileOutcome::Skipped,
                             .source = file,
                             .message = "not a supported audio file",
                             .beforeRun = true});
            continue;
        }
        struct stat st {};
        if (options.deleteSource && ::stat(file.c_str(), &st) == 0 &&
            !seen.insert({st.st_dev, st.st_ino}).second) {
            lines.push_back({.outcome = TFileOutcome::Skipped,
                             .source = file,
                             .message = "given more than once",
                             .beforeRun = true});
            continue;
        }
        TAudioFileDescriptor d = DescribeSourceFile(AbsolutePath(file));
        ConversionRules::ApplyChoices(d, options.target, options.level, outFolder.empty(),
                                      outFolder, options.deleteSource);
        d.Verify = options.verify == 1 || (options.verify == -1 && options.deleteSource);
        pending.push_back(d);
    }
    const size_t queued = pending.size();
    // Files refused before the run are reported first, in the order given.
    if (!terminal)
        for (const auto& line : lines)
            PrintLine(out, line);

    // Each lane takes the next pending file when its own is done, so N files run side by side.
    std::vector<std::unique_ptr<Lane>> lanes;
    const size_t laneCount = std::min<size_t>(size_t(std::max(options.jobs, 1)), queued);
    int doneFiles = 0;
    for (size_t i = 0; i < laneCount; ++i) {
        auto lane = std::make_unique<Lane>();
        Lane* l = lane.get();
        l->driver.SetCopyTags(options.copyTags);
        l->driver.SetStrict(options.strict);
        l->driver.SetSourceRemover(
            [](const std::string& path) { return ::unlink(path.c_str()) == 0; });
        l->driver.SetOnFileStart([l](const TAudioFileDescriptor& d, int, int, int) {
            l->currentName = d.SourceName;
            l->percent = 0;
        });
        l->driver.SetOnFileProgress([l](int percent) { l->percent = percent; });
        l->driver.SetOnAllDone([l] { l->finished = true; });
        l->driver.SetOnFileDone([&, l] {
            const TFileResult& r = l->driver.LastResult();
            Line line{r.outcome, r.descriptor.SourcePath, r.outputPath, r.message, r.sourceKept,
                      r.verified};
            ++doneFiles;
            if (terminal) out << "\r\033[K";
            PrintLine(out, line);
            out.flush();
            lines.push_back(std::move(line));
            if (!pending.empty()) {
                l->driver.AddFile(pending.front());
                pending.pop_front();
            }
            l->driver.ProcessNext();
        });
        l->driver.AddFile(pending.front());
        pending.pop_front();
        lanes.push_back(std::move(lane));
    }
    for (auto& lane : lanes)
        lane->driver.ProcessNext();

    auto allFinished = [&] {
        for (const auto& lane : lanes)
            if (!lane->finished) return false;
        return true;
    };
    auto lastDraw = std::chrono::steady_clock::now();
    while (!allFinished()) {
        if (gCliInterrupted) {
            for (auto& lane : lanes)
                lane->driver.Abort();
            if (terminal) out << "\r\033[K";
            out << "Interrupted: the partial output was removed.\n";
            out.flush();
            return 130;
        }
        MainThread::WaitAndCheck(std::chrono::milliseconds(50));
        const auto now = std::chrono::steady_clock::now();
        if (terminal && !allFinished() && now - lastDraw > std::chrono::milliseconds(100)) {
            lastDraw = now;
            int running = 0;
            for (const auto& lane : lanes)
                running += lane->finished ? 0 : std::max(lane->percent, 0);
            const int overall = int((doneFiles * 100 + running) / int(queued));
            out << "\r\033[K";
            if (lanes.size() == 1)
                out << Bar(lanes[0]->percent, 20) << " " << std::setw(3)
                    << std::max(lanes[0]->percent, 0) << "% " << lanes[0]->currentName << "  ";
            out << "run " << Bar(overall, lanes.size() == 1 ? 10 : 30) << " " << doneFiles << "/"
                << queued;
            out.flush();
        }
    }
    if (terminal) {
        out << "\r\033[K";
        // Files refused before the run were held back so the bar did not break them up.
        for (const auto& line : lines)
            if (line.beforeRun) PrintLine(out, line);
    }
    int converted = 0, warned = 0, skipped = 0, failed = 0;
    for (const auto& line : lines) {
        converted += line.outcome == TFileOutcome::Converted;
        warned += line.outcome == TFileOutcome::ConvertedWithWarning;
        skipped += line.outcome == TFileOutcome::Skipped;
        failed += line.outcome == TFileOutcome::Failed;
    }
    out << converted << " converted, ";
    if (warned > 0) out << warned << " converted with a warning, ";
    out << skipped << " skipped, " << failed << " failed\n";
    return failed ? 1 : 0;
}

int RunInfo(const TCliOptions& options, std::ostream& out) {
    int status = 0;
    bool first = true;
    for (const auto& file : options.files) {
        if (!first) out << "\n";
        first = false;
        out << "file: " << file << "\n";
        const qm::TSourceId format = qm::SourceOfFile(file);
        const std::string descriptor(qm::SourceDescriptor(format));
        const TSourceRow* row = FindSourceRow(format);
        if (!qm::IsSupportedAudioFile(file) || row == nullptr) {
            out << "error: not a supported audio file\n";
            status = 1;
            continue;
        }
        std::unique_ptr<TAuFileIn> source;
        try {
            source = row->create();
            source->SetFileName(AbsolutePath(file));
            if (!source->FileValid()) {
                out << "error: the file is damaged or is not a valid " << descriptor << " file\n";
                status = 1;
                continue;
            }
            const int rate = source->GetSampleRate();
            const int64_t samples = source->GetTotalSamples();
            out << "descriptor: " << descriptor << "\n";
            out << "channels: " << source->GetChannels() << "\n";
            out << "sample rate: " << rate << "\n";
            out << "bits per sample: " << source->GetBitsPerSample() << "\n";
            out << "total samples: " << samples << "\n";
            std::ostringstream duration;
            if (samples > 0 && rate > 0)
                duration << std::fixed << std::setprecision(3) << double(samples) / rate << " s";
            else
                duration << "unknown";
            out << "duration: " << duration.str() << "\n";
            if (auto* tagged = dynamic_cast<TAuTaggedFileIn*>(source.get())) {
                TCommonTags& tags = tagged->CommonTags();
                out << "title: " << tags.Title() << "\n";
                out << "artist: " << tags.Artist() << "\n";
                out << "album: " << tags.Album() << "\n";
                out << "genre: " << tags.Genre() << "\n";
                out << "year: " << tags.Year() << "\n";
                out << "track: " << tags.Track() << "\n";
            }
        } catch (const std::exception& e) {
            out << "error: " << e.what() << "\n";
            status = 1;
        }
    }
    return status;
}
