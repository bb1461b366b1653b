#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

// Names a parameterised case by its `name` member, so that ctest lists stable, readable names
// and a failure says which row failed instead of printing the row's bytes.
template <typename Case> std::string CaseName(const ::testing::TestParamInfo<Case>& test)
{
    return test.param.name;
}

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A test name made of parts: letters and digits are kept, "-" before a digit reads "minus", every
// other run of characters becomes one "_". For tables whose rows are told apart by their values.
inline std::string TestName(std::initializer_list<std::string> parts)
{
    std::string name;
    for (const std::string& part : parts)
    {
        if (!name.empty() && name.back() != '_')
            name += '_';
        for (std::size_t i = 0; i < part.size(); ++i)
        {
            const char c = part[i];
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c))
                name += c;
            else if (c == '-' && i + 1 < part.size() && IsDigit(part[i + 1]))
                name += "minus";
            else if (!name.empty() && name.back() != '_')
                name += '_';
        }
    }
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name.empty() ? std::string("Empty") : name;
}
