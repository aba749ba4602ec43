#include "app/cli/cli_results.h"

#include <cstdio>
#include <iomanip>
#include <sstream>

namespace {

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

// The length of the UTF-8 sequence at the start of bytes, 0 when it is not one.
size_t Utf8Length(std::string_view bytes) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    size_t length = lead < 0x80         ? 1
                    : (lead >> 5) == 6  ? 2
                    : (lead >> 4) == 14 ? 3
                    : (lead >> 3) == 30 ? 4
                                        : 0;
    if (length == 0 || length > bytes.size()) return 0;
    uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) return 0;
    return length;
}

std::string Seconds(double seconds) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(3) << seconds;
    return text.str();
}

} // namespace

std::string JsonString(std::string_view bytes) {
    std::string json = "\"";
    char escape[8];
    for (size_t at = 0; at < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[at]);
        const size_t length = Utf8Length(bytes.substr(at));
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\udc%02x", c);
            json += escape;
            ++at;
        } else if (c == '"' || c == '\\') {
            json += '\\';
            json += char(c);
            ++at;
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            json += escape;
            ++at;
        } else {
            json.append(bytes.substr(at, length));
            at += length;
        }
    }
    return json + "\"";
}

void TResultPrinter::Print(TResultLine line) {
    switch (line.outcome) {
    case TFileOutcome::Converted:
        ++converted_;
        break;
    case TFileOutcome::ConvertedWithWarning:
        ++warned_;
        break;
    case TFileOutcome::Skipped:
        ++skipped_;
        break;
    case TFileOutcome::Failed:
        ++failed_;
        break;
    }
    verified_ += line.verified;
    removed_ += line.sourceRemoved;
    line.message = OneLine(line.message);
    const std::string_view word = qm::OutcomeWord(line.outcome);
    if (style_ == TStyle::Json) {
        out_ << "{\"type\":\"file\",\"source\":" << JsonString(line.source)
             << ",\"output\":" << JsonString(line.output) << ",\"outcome\":" << JsonString(word)
             << ",\"message\":" << JsonString(line.message)
             << ",\"seconds\":" << Seconds(line.seconds)
             << ",\"input_format\":" << JsonString(line.inputFormat)
             << ",\"output_format\":" << JsonString(line.outputFormat)
             << ",\"verified\":" << (line.verified ? "true" : "false")
             << ",\"source_removed\":" << (line.sourceRemoved ? "true" : "false")
             << ",\"source_kept\":" << JsonString(line.sourceKept) << "}\n";
        return;
    }
    const bool remark =
        line.outcome == TFileOutcome::Failed || line.outcome == TFileOutcome::ConvertedWithWarning;
    if (style_ == TStyle::Quiet && !remark) return;
    out_ << word << " " << line.source;
    switch (line.outcome) {
    case TFileOutcome::Converted:
        out_ << " -> " << line.output;
        if (line.verified || !line.sourceKept.empty()) {
            out_ << " (" << (line.verified ? "verified" : "");
            out_ << (line.verified && !line.sourceKept.empty() ? "; " : "") << line.sourceKept
                 << ")";
        }
        break;
    case TFileOutcome::ConvertedWithWarning:
        out_ << " -> " << line.output << " (" << line.message << ")";
        break;
    case TFileOutcome::Skipped:
        out_ << " (" << line.message << ")";
        break;
    case TFileOutcome::Failed:
        out_ << ": " << line.message;
        break;
    }
    out_ << "\n";
}

void TResultPrinter::PrintSummary(double seconds) {
    if (style_ == TStyle::Json) {
        out_ << "{\"type\":\"summary\",\"converted\":" << converted_ << ",\"warnings\":" << warned_
             << ",\"skipped\":" << skipped_ << ",\"failed\":" << failed_
             << ",\"verified\":" << verified_ << ",\"sources_removed\":" << removed_
             << ",\"seconds\":" << Seconds(seconds) << "}\n";
        return;
    }
    if (style_ == TStyle::Quiet) return;
    out_ << converted_ << " converted, ";
    if (warned_ > 0) out_ << warned_ << " converted with a warning, ";
    out_ << skipped_ << " skipped, " << failed_ << " failed\n";
}
