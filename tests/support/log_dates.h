#pragma once
// The date of a scan log's date block ("Current Date and Time is: " and
// the time in the ctime form, "Www Mmm dd hh:mm:ss yyyy" with every number
// two digits or four, then CR LF) replaced by a marker, so that a log can be compared byte for byte
// with an expected document that carries the marker instead.
#include <cctype>
#include <string>
#include <vector>

// True when `text` has the form of `pattern`: 'A' an upper-case letter, 'a'
// a lower-case one, a digit d any digit from 0 to d; anything else stands
// for itself.
inline bool HasTextForm(const std::string &text, const std::string &pattern)
{
    if (text.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool fits;
        switch (pattern[i]) {
        case 'A': fits = std::isupper(c) != 0; break;
        case 'a': fits = std::islower(c) != 0; break;
        default:
            if (std::isdigit(static_cast<unsigned char>(pattern[i])))
                fits = c >= '0' && c <= static_cast<unsigned char>(pattern[i]);
            else
                fits = c == static_cast<unsigned char>(pattern[i]);
            break;
        }
        if (!fits)
            return false;
    }
    return true;
}

// `document` with the 24 characters after each "Current Date and Time is: "
// replaced by `marker`. A date text (with the two characters after it) not
// of the ctime form and its CR LF is added to *malformed, and masked all the
// same.
inline std::string MaskLogDates(std::string document, const char *marker,
                                std::vector<std::string> *malformed)
{
    static const std::string kLead = "Current Date and Time is: ";
    static const std::string kForm = "Aaa Aaa 39 29:59:69 9999\r\n";
    for (std::size_t at = document.find(kLead); at != std::string::npos;
         at = document.find(kLead, at + 1)) {
        std::size_t date = at + kLead.size();
        std::string text = document.substr(date, kForm.size());
        if (!HasTextForm(text, kForm))
            malformed->push_back(text);
        document.replace(date, kForm.size() - 2, marker);
    }
    return document;
}

// An expected document kept with either line end, with CR LF line ends as
// the log has them.
inline std::string WithCrLf(const std::string &text)
{
    std::string document;
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n')
            document += '\r';
        document += c;
    }
    return document;
}
