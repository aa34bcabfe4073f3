#pragma once

// The office's signing key on a PKCS#11 token (a USB token at the registrar's desk): the key is
// made on the token and never leaves it; the program signs through the token's module, a shared
// library the desk's settings name.

#include "print/certificate_seal.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace zartav::print {

// Where the key is: the token's module, the token's label and the key's label.
struct TokenKeyPlace {
    QString module;
    QString token;
    QString key;
};

// The key's label when none is given.
inline constexpr const char* kDefaultTokenKeyLabel = "zartav-certificates";

// A token's PIN as typed: kept in memory only, wiped when let go, never shared by a copy.
class TokenPin {
public:
    TokenPin() = default;
    TokenPin(const char* data, qsizetype size);
    // Takes the typed text and blanks it.
    static TokenPin fromText(QString& typed);
    TokenPin(TokenPin&& other) noexcept;
    TokenPin& operator=(TokenPin&& other) noexcept;
    TokenPin(const TokenPin&) = delete;
    TokenPin& operator=(const TokenPin&) = delete;
    ~TokenPin() { wipe(); }

    TokenPin copy() const { return TokenPin(bytes_.constData(), bytes_.size()); }
    const QByteArray& bytes() const { return bytes_; }
    bool isEmpty() const { return bytes_.isEmpty(); }
    void wipe();

private:
    QByteArray bytes_;
};

// Why a token could not be used.
enum class TokenFault { NoModule, NotAModule, NoToken, NoPin, WrongPin, PinLocked, NoKey, KeyExists, Failed };

struct TokenError {
    TokenFault fault = TokenFault::Failed;
    QString farsi;    // for the person at the desk
    QString english;  // for the command line, with the module's return code when it gave one
};

// The words of `fault` for the key at `place`; `detail` adds what the module or the loader said.
TokenError tokenError(TokenFault fault, const TokenKeyPlace& place, const QString& detail = {});

// An Ed25519 key on a token, its session open and logged in for as long as this lives.
class TokenKey final : public Signer {
public:
    // Loads the module, finds the token by its label, logs in with `pin` and finds the key pair
    // labelled place.key; nothing, with why, when any step fails.
    static std::unique_ptr<TokenKey> open(const TokenKeyPlace& place, const TokenPin& pin, TokenError* error);
    // Makes a key pair labelled place.key on the token, its private half never to leave it;
    // refused when an object of that label is there already.
    static std::unique_ptr<TokenKey> generate(const TokenKeyPlace& place, const TokenPin& pin, TokenError* error);
    ~TokenKey() override;

    QByteArray publicKey() const override;
    std::optional<QByteArray> sign(const QByteArray& text, QString* error) const override;
    // Removes the key pair from the token (a key just made that the store would not take).
    bool discard(TokenError* error);

private:
    struct Session;
    explicit TokenKey(std::unique_ptr<Session> session);
    std::unique_ptr<Session> session_;
};

}  // namespace zartav::print
