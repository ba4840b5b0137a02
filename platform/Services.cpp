#include "platform/Services.h"

namespace frostmark {

std::vector<std::string> SplitEditLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end != std::string::npos && !line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

MessageAnswer ShowMessage(IMessageBox* messages, const std::string& text, const std::string& caption,
                          MessageIcon icon, MessageButtons buttons) {
    if (messages)
        return messages->Show(text, caption, icon, buttons);
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

} // namespace frostmark
