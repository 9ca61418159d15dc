#include "markup/result_report.h"

#include "markup/markup.h"

namespace {

const char* ValueAttribute(int options) {
    if (options & kReportValueType) {
        return "type";
    }
    if (options & kReportValueEncoding) {
        return "encoding";
    }
    if (options & kReportValueMsg) {
        return "msg";
    }
    return "tagname";
}

}  // namespace

void AddReportEntry(std::string& report, const char* name, const char* value, int options,
                    int number, int number2) {
    if (report.size() >= kReportLimit) {
        return;
    }
    // The report is itself a document: edit it with the engine so that the
    // values are escaped and the text stays well-formed.
    CXmlDocument document(report);
    if (options & kReportUpdate) {
        if (!document.FindElement(name)) {
            return;
        }
    } else if (!document.AddElement(name, "", 2)) {
        return;
    }
    if (value != nullptr) {
        document.SetAttribute(ValueAttribute(options), value);
    }
    if (options & kReportNumberN) {
        document.SetAttribute("n", number);
    } else if (options & kReportNumberCount) {
        document.SetAttribute("count", number);
    } else if (options & kReportNumberLength) {
        document.SetAttribute("length", number);
    } else if (number != -1) {
        document.SetAttribute("offset", number);
    }
    if (number2 != -1) {
        document.SetAttribute("offset2", number2);
    }
    report = document.GetDocText();
}
