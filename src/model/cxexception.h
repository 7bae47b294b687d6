// CxException: the application's exception, carrying a message text (CP932) and a code.
#pragma once

#include <exception>
#include <string>

class CxException : public std::exception {
public:
    CxException() = default;
    explicit CxException(std::string message, int code = 0)
        : m_hasMessage(true), m_message(std::move(message)), m_code(code)
    {
    }

    bool HasMessage() const { return m_hasMessage; }
    const std::string& Message() const { return m_message; } // CP932
    int Code() const { return m_code; }
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    bool m_hasMessage = false;
    std::string m_message;
    int m_code = 0;
};
