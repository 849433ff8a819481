// The console's answers as the kit's reader sees them: replayed onto a blank 25x80 screen
// (ESC[K, ESC[H, ESC[r;cH, ESC[nJ; other sequences dropped), and fields taken off the screen
// text by a label and a word number.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace consolescreen
{
inline std::string ScreenText(const std::string &answer)
{
    if (answer.find('\x1b') == std::string::npos)
        return answer;
    std::vector<std::string> lines(25, std::string(80, ' '));
    int row = 1, column = 1;
    const auto write = [&](const std::string &text) {
        std::istringstream parts(text);
        std::string part;
        bool first = true;
        while (std::getline(parts, part, '\n'))
        {
            if (!first)
                ++row, column = 1;
            first = false;
            for (char c : part)
            {
                if (row >= 1 && row <= 25 && column >= 1 && column <= 80)
                    lines[row - 1][column - 1] = c;
                ++column;
            }
        }
    };
    for (size_t at = answer.find('\x1b'); at != std::string::npos;)
    {
        const size_t next = answer.find('\x1b', at + 1);
        const std::string segment =
            answer.substr(at, next == std::string::npos ? std::string::npos : next - at);
        at = next;
        if (segment.size() < 3 || segment[1] != '[')
            continue;
        if (segment[2] == 'K')
        {
            if (row >= 1 && row <= 25 && column >= 1 && column <= 80)
                lines[row - 1].replace(column - 1, 81 - column, 81 - column, ' ');
            continue;
        }
        if (segment[2] == 'H')
        {
            row = column = 1;
            write(segment.substr(3));
            continue;
        }
        size_t end = 2;
        while (end < segment.size() && std::isdigit(static_cast<unsigned char>(segment[end])))
            ++end;
        if (end < segment.size() && segment[end] == 'J')
        {
            lines.assign(25, std::string(80, ' '));
            continue;
        }
        int r = 0, c = 0, used = 0;
        if (std::sscanf(segment.c_str() + 2, "%d;%dH%n", &r, &c, &used) == 2 && used > 0)
        {
            row = r, column = c;
            write(segment.substr(2 + static_cast<size_t>(used)));
        }
    }
    std::string text;
    for (const std::string &line : lines)
        text += line + "\r\n";
    return text;
}

// The first line holding `label`, a space appended, its word number `word` (from 1).
inline std::string Field(const std::string &screen, const std::string &label, int word)
{
    for (size_t start = 0; start < screen.size();)
    {
        const size_t cr = screen.find('\r', start);
        std::string line = screen.substr(start, cr == std::string::npos ? std::string::npos : cr - start);
        if (line.find(label) != std::string::npos)
        {
            std::istringstream words(line + " ");
            std::string taken;
            for (int i = 0; i < word && words >> taken; ++i)
                if (i == word - 1)
                    return taken;
            return "";
        }
        if (cr == std::string::npos)
            break;
        start = cr + 2;
    }
    return "";
}
} // namespace consolescreen
