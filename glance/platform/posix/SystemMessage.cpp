// POSIX-only code belongs in this file.
#include "platform/SystemMessage.h"

namespace Vanta {
namespace {

struct MessageText {
    uint32_t code;
    const wchar_t* text;
};

// The Windows texts of the codes this system reports, so that log lines read
// the same on both builds. FormatMessageW ends every system text in "\r\n".
constexpr MessageText kMessages[] = {
    {0, L"The operation completed successfully.\r\n"},
    {1, L"Incorrect function.\r\n"},
    {2, L"The system cannot find the file specified.\r\n"},
    {3, L"The system cannot find the path specified.\r\n"},
    {5, L"Access is denied.\r\n"},
    {6, L"The handle is invalid.\r\n"},
    {13, L"The data is invalid.\r\n"},
    {50, L"The request is not supported.\r\n"},
    {87, L"The parameter is incorrect.\r\n"},
    {122, L"The data area passed to a system call is too small.\r\n"},
    {126, L"The specified module could not be found.\r\n"},
    {127, L"The specified procedure could not be found.\r\n"},
    {183, L"Cannot create a file when that file already exists.\r\n"},
    {234, L"More data is available.\r\n"},
    {259, L"No more data is available.\r\n"},
    {1627, L"Function failed during execution.\r\n"},
    {5023,
     L"The group or resource is not in the correct state to perform the requested operation.\r\n"},
};

} // namespace

std::wstring systemMessageText(uint32_t errorCode) {
    for (const MessageText& entry : kMessages) {
        if (entry.code == errorCode) {
            return entry.text;
        }
    }
    // Codes without a system text, such as the file sink's private 20002,
    // give an empty text as FormatMessageW's failure does.
    return {};
}

} // namespace Vanta
