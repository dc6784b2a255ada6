#include "cli/report_json.h"

#include "base/utf8.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string_view>

namespace quillstamper::cli {

namespace {

// Keys stay in the order written, so that "command" comes first.
using Json = nlohmann::ordered_json;

// key: the text; if it is not valid UTF-8, also key_base64: its bytes.
void PutText(Json& object, const std::string& key, std::string_view bytes) {
    std::string text = ReplaceInvalidUtf8(bytes);
    const bool exact = text == bytes;
    object[key] = std::move(text);
    if (!exact) {
        object[key + "_base64"] = EncodeBase64(bytes);
    }
}

std::string_view OutcomeWord(ReportFile::Outcome outcome) {
    using Outcome = ReportFile::Outcome;
    switch (outcome) {
    case Outcome::Updated:
        return "updated";
    case Outcome::WouldUpdate:
        return "would_update";
    case Outcome::Unchanged:
        return "unchanged";
    case Outcome::ChangedWhileConverting:
        return "changed_while_converting";
    case Outcome::Checked:
        return "checked";
    case Outcome::NotConverted:
        break;
    }
    return "not_converted";
}

Json FileObject(const RunReport& report, const ReportFile& file) {
    Json object = Json::object();
    PutText(object, "file", report.NameOf(file));
    object["outcome"] = OutcomeWord(file.outcome);
    if (file.inPlace) {
        object["in_place"] = true;
    }
    if (file.restored) {
        object["restored"] = true;
    }
    if (!file.diff.empty()) {
        PutText(object, "diff", file.diff);
    }
    return object;
}

Json LineObject(const RunReport& report, const ReportLine& line) {
    Json object = {{"kind", line.kind}};
    PutText(object, "file", report.NameOf(line.file));
    object["line"] = line.line;
    PutText(object, "start_line", line.text);
    PutText(object, "message", line.message);
    if (line.refusedLine != 0) {
        object["refused_line"] = line.refusedLine;
        PutText(object, "refused_text", line.refusedText);
        PutText(object, "refused_message", line.refusedMessage);
    }
    return object;
}

Json MessageObject(const RunReport& report, const ReportMessage& message) {
    Json object = Json::object();
    if (!message.file.empty()) {
        PutText(object, "file", report.NameOf(message.file));
    }
    PutText(object, "message", message.FullMessage());
    return object;
}

template <typename Item, typename Convert>
Json ArrayOf(const RunReport& report, const std::vector<Item>& items, const Convert& convert) {
    Json array = Json::array();
    for (const Item& item : items) {
        array.push_back(convert(report, item));
    }
    return array;
}

} // namespace

std::string EncodeBase64(std::string_view bytes) {
    constexpr std::string_view kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    encoded.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            group = (group << 8) | (k < count ? static_cast<unsigned char>(bytes[i + k]) : 0U);
        }
        for (std::size_t k = 0; k < 4; ++k) {
            encoded += k <= count ? kDigits[(group >> (18 - 6 * k)) & 0x3F] : '=';
        }
    }
    return encoded;
}

std::string ReplaceInvalidUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8CharacterLength(bytes, i);
        if (length == 0) {
            text += "\xEF\xBF\xBD";
            ++i;
        } else {
            text.append(bytes.substr(i, length));
            i += length;
        }
    }
    return text;
}

void PrintJsonReport(const RunReport& report, std::ostream& out) {
    Json document = {{"command", report.command}};
    document["files"] = ArrayOf(report, report.files, FileObject);
    document["problems"] = ArrayOf(report, report.problems, LineObject);
    document["notes"] = ArrayOf(report, report.notes, LineObject);
    document["warnings"] = ArrayOf(report, report.warnings, MessageObject);
    document["errors"] = ArrayOf(report, report.errors, MessageObject);
    Json summary = Json::object();
    for (const auto& [name, count] : report.counts) {
        summary[name] = count;
    }
    summary["problems"] = report.problems.size();
    summary["notes"] = report.notes.size();
    summary["warnings"] = report.warnings.size();
    summary["errors"] = report.errors.size();
    if (!report.summary.empty()) {
        PutText(summary, "message", report.summary);
    }
    document["summary"] = std::move(summary);
    document["exit_status"] = report.exitStatus;
    // Every text was made valid above; replacing is only a safety net.
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

} // namespace quillstamper::cli
