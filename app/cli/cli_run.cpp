#include "app/cli/cli_run.h"

#include "app/cli/cli_results.h"
#include "app/cli/cli_tag_lines.h"

#include "app/catalogue/format_catalogue.h"
#include "app/converter/component_tables.h"
#include "app/converter/conversion_scheduler.h"
#include "app/converter/output_names.h"
#include "app/converter/quillmere_audio_converter.h"
#include "app/util/folder_walk.h"
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

std::string Bar(int percent, int width) {
    const int filled = percent < 0 ? 0 : std::min(width, percent * width / 100);
    return "[" + std::string(size_t(filled), '#') + std::string(size_t(width - filled), '.') + "]";
}

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int RunConversion(const TCliOptions& options, std::ostream& out, std::ostream& err,
                  bool progressBar) {
    const auto runStart = std::chrono::steady_clock::now();
    TResultPrinter results(out, options.json    ? TResultPrinter::TStyle::Json
                                : options.quiet ? TResultPrinter::TStyle::Quiet
                                                : TResultPrinter::TStyle::Text);
    const bool terminal = progressBar && !options.quiet;
    std::string outFolder;
    if (!options.outFolder.empty()) {
        outFolder = qm::RemoveTrailingSeparators(AbsolutePath(options.outFolder));
        std::error_code error;
        fs::create_directories(outFolder, error);
        if (error || !fs::is_directory(outFolder)) {
            err << "Cannot create the output folder " << outFolder << ": " << error.message()
                << "\n";
            return 1;
        }
    }

    std::deque<TAudioFileDescriptor> pending;
    // A source named twice (or by two names) would be deleted after its first conversion and
    // then fail as missing: each file is converted once.
    std::set<std::pair<dev_t, ino_t>> seen;
    const std::string outputFormat(qm::FindTarget(options.target)
                                       ? qm::FindTarget(options.target)->CliName
                                       : std::string_view());
    const auto refuse = [&](const std::string& file, const char* why) {
        results.Print({.outcome = TFileOutcome::Skipped,
                       .source = file,
                       .message = why,
                       .outputFormat = outputFormat});
    };
    // Folders stand for the audio files in their tree; what else they hold is counted, not
    // listed file by file.
    int leftOut = 0;
    for (const auto& [file, root] : qm::CollectFiles(options.files).Files) {
        if (!qm::IsSupportedAudioFile(file)) {
            if (root.empty())
                refuse(file, "not a supported audio file");
            else
                ++leftOut;
            continue;
        }
        struct stat st {};
        if (options.deleteSource && ::stat(file.c_str(), &st) == 0 &&
            !seen.insert({st.st_dev, st.st_ino}).second) {
            refuse(file, "given more than once");
            continue;
        }
        TAudioFileDescriptor d = DescribeSourceFile(AbsolutePath(file));
        ConversionRules::ApplyChoices(d, options.target, options.level, outFolder.empty(),
                                      outFolder, options.deleteSource);
        d.SourceRoot = root.empty() ? root : qm::RemoveTrailingSeparators(AbsolutePath(root));
        d.KeepTree = options.keepTree;
        d.Existing = options.existing;
        qm::TOutputNames::Protect(d.SourcePath);
        d.Verify = options.verify == 1 || (options.verify == -1 && options.deleteSource);
        pending.push_back(d);
    }
    out.flush();
    if (leftOut > 0)
        err << "quillmere-cli: " << leftOut << (leftOut == 1 ? " file" : " files")
            << " in the folders given left out: not supported audio\n";
    const size_t queued = pending.size();
    if (queued == 0) {
        results.PrintSummary(SecondsSince(runStart));
        err << "quillmere-cli: no audio file to convert\n";
        return 3;
    }

    // Each lane takes the next waiting file when its own is done, so N files run side by side.
    TConversionScheduler scheduler(
        int(std::min<size_t>(size_t(std::max(options.jobs, 1)), queued)));
    for (auto& file : pending)
        scheduler.AddFile(file);
    pending.clear();
    struct TLaneView {
        std::string name;
        std::chrono::steady_clock::time_point started;
        int percent = 0;
    };
    std::vector<TLaneView> lanes(size_t(scheduler.LaneCount()));
    int doneFiles = 0;
    for (int i = 0; i < scheduler.LaneCount(); ++i) {
        TQuillmereAudioConverter& driver = scheduler.Lane(i);
        driver.SetCopyTags(options.copyTags);
        driver.SetStrict(options.strict);
        driver.SetSourceRemover(
            [](const std::string& path) { return ::unlink(path.c_str()) == 0; });
    }
    scheduler.SetOnFileStart([&](int lane, const TAudioFileDescriptor& d) {
        lanes[size_t(lane)] = {d.SourceName, std::chrono::steady_clock::now(), 0};
    });
    scheduler.SetOnFileProgress(
        [&](int lane, int percent) { lanes[size_t(lane)].percent = percent; });
    scheduler.SetOnFileDone([&](int lane, const TFileResult& r) {
        ++doneFiles;
        if (terminal) err << "\r\033[K" << std::flush;
        results.Print({.outcome = r.outcome,
                       .source = r.descriptor.SourcePath,
                       .output = r.outputPath,
                       .message = r.message,
                       .sourceKept = r.sourceKept,
                       .inputFormat = std::string(qm::SourceDescriptor(r.descriptor.SourceFormat)),
                       .outputFormat = outputFormat,
                       .verified = r.verified,
                       .sourceRemoved = r.sourceRemoved,
                       .seconds = SecondsSince(lanes[size_t(lane)].started)});
        out.flush();
        lanes[size_t(lane)].percent = 0;
    });
    scheduler.Start();

    auto lastDraw = std::chrono::steady_clock::now();
    while (scheduler.Running()) {
        if (gCliInterrupted) {
            scheduler.Abort();
            if (terminal) err << "\r\033[K";
            err << "Interrupted: the partial output was removed.\n";
            err.flush();
            return 130;
        }
        MainThread::WaitAndCheck(std::chrono::milliseconds(50));
        const auto now = std::chrono::steady_clock::now();
        if (terminal && scheduler.Running() && now - lastDraw > std::chrono::milliseconds(100)) {
            lastDraw = now;
            int running = 0;
            for (const auto& lane : lanes)
                running += std::max(lane.percent, 0);
            const int overall = int((doneFiles * 100 + running) / int(queued));
            err << "\r\033[K";
            if (lanes.size() == 1)
                err << Bar(lanes[0].percent, 20) << " " << std::setw(3)
                    << std::max(lanes[0].percent, 0) << "% " << lanes[0].name << "  ";
            err << "run " << Bar(overall, lanes.size() == 1 ? 10 : 30) << " " << doneFiles << "/"
                << queued;
            err.flush();
        }
    }
    if (terminal) err << "\r\033[K" << std::flush;
    results.PrintSummary(SecondsSince(runStart));
    return results.Failed() ? 1 : 0;
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
            PrintCarriedTags(source->CarriedTags(), out);
        } catch (const std::exception& e) {
            out << "error: " << e.what() << "\n";
            status = 1;
        }
    }
    return status;
}
