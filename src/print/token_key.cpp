#include "print/token_key.h"

#include "util/bidi_text.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <p11-kit/pkcs11.h>
#include <sodium.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <vector>

namespace zartav::print {

namespace {

// A module's answers are data: more present or a longer point than any token has is not believed.
constexpr CK_ULONG kMostSlots = 256;
constexpr CK_ULONG kMostPointBytes = 256;
constexpr int kTokenLabelBytes = 32;
constexpr int kPublicKeyBytes = 32;
// The DER of Ed25519's object identifier, 1.3.101.112: the curve of a key pair made on a token.
const QByteArray kEd25519Params = QByteArray::fromHex("06032b6570");

QString returnCode(CK_RV rv) {
    struct Name {
        CK_RV rv;
        const char* name;
    };
    static constexpr Name names[] = {
        {CKR_PIN_INCORRECT, "CKR_PIN_INCORRECT"},
        {CKR_PIN_LOCKED, "CKR_PIN_LOCKED"},
        {CKR_PIN_LEN_RANGE, "CKR_PIN_LEN_RANGE"},
        {CKR_DEVICE_REMOVED, "CKR_DEVICE_REMOVED"},
        {CKR_TOKEN_NOT_PRESENT, "CKR_TOKEN_NOT_PRESENT"},
        {CKR_DEVICE_ERROR, "CKR_DEVICE_ERROR"},
        {CKR_SESSION_HANDLE_INVALID, "CKR_SESSION_HANDLE_INVALID"},
        {CKR_MECHANISM_INVALID, "CKR_MECHANISM_INVALID"},
        {CKR_KEY_TYPE_INCONSISTENT, "CKR_KEY_TYPE_INCONSISTENT"},
        {CKR_USER_NOT_LOGGED_IN, "CKR_USER_NOT_LOGGED_IN"},
        {CKR_ATTRIBUTE_VALUE_INVALID, "CKR_ATTRIBUTE_VALUE_INVALID"},
        {CKR_TEMPLATE_INCONSISTENT, "CKR_TEMPLATE_INCONSISTENT"},
        {CKR_FUNCTION_FAILED, "CKR_FUNCTION_FAILED"},
        {CKR_GENERAL_ERROR, "CKR_GENERAL_ERROR"},
    };
    for (const Name& n : names)
        if (n.rv == rv) return QString::fromLatin1(n.name);
    return QStringLiteral("0x%1").arg(qulonglong(rv), 0, 16);
}

TokenFault faultOf(CK_RV rv) {
    switch (rv) {
    case CKR_PIN_INCORRECT:
    case CKR_PIN_INVALID:
    case CKR_PIN_LEN_RANGE: return TokenFault::WrongPin;
    case CKR_PIN_LOCKED: return TokenFault::PinLocked;
    case CKR_DEVICE_REMOVED:
    case CKR_TOKEN_NOT_PRESENT:
    case CKR_TOKEN_NOT_RECOGNIZED:
    case CKR_SLOT_ID_INVALID:
    case CKR_SESSION_CLOSED:
    case CKR_SESSION_HANDLE_INVALID: return TokenFault::NoToken;
    default: return TokenFault::Failed;
    }
}

bool fails(TokenError* error, TokenFault fault, const TokenKeyPlace& place, const QString& detail = {}) {
    if (error) *error = tokenError(fault, place, detail);
    return false;
}

bool failsWith(TokenError* error, CK_RV rv, const char* step, const TokenKeyPlace& place) {
    return fails(error, faultOf(rv), place, QStringLiteral("%1: %2").arg(QLatin1String(step), returnCode(rv)));
}

// A token's label: 32 bytes of UTF-8, padded with blanks.
QString tokenLabel(const CK_UTF8CHAR (&label)[kTokenLabelBytes]) {
    QByteArray bytes(reinterpret_cast<const char*>(label), kTokenLabelBytes);
    while (bytes.endsWith(' ') || bytes.endsWith('\0')) bytes.chop(1);
    return QString::fromUtf8(bytes);
}

// CKA_EC_POINT of an Ed25519 key: a DER OCTET STRING of the 32-byte point, or (some modules) the
// bare point.
std::optional<QByteArray> edwardsPoint(const QByteArray& value) {
    if (value.size() == kPublicKeyBytes) return value;
    if (value.size() == kPublicKeyBytes + 2 && value[0] == 0x04 && value[1] == kPublicKeyBytes) return value.mid(2);
    return std::nullopt;
}

}  // namespace

TokenPin::TokenPin(const char* data, qsizetype size) : bytes_(data, size) {}

TokenPin TokenPin::fromText(QString& typed) {
    const QByteArray utf8 = typed.toUtf8();
    TokenPin pin(utf8.constData(), utf8.size());
    sodium_memzero(const_cast<char*>(utf8.constData()), size_t(utf8.size()));
    typed.fill(QChar(0));
    typed.clear();
    return pin;
}

TokenPin::TokenPin(TokenPin&& other) noexcept : bytes_(std::move(other.bytes_)) { other.bytes_.clear(); }

TokenPin& TokenPin::operator=(TokenPin&& other) noexcept {
    if (this != &other) {
        wipe();
        bytes_ = std::move(other.bytes_);
        other.bytes_.clear();
    }
    return *this;
}

void TokenPin::wipe() {
    if (!bytes_.isEmpty()) sodium_memzero(bytes_.data(), size_t(bytes_.size()));
    bytes_.clear();
}

TokenError tokenError(TokenFault fault, const TokenKeyPlace& place, const QString& detail) {
    const QString module = isolatedPath(place.module);
    const QString token = QStringLiteral("«%1»").arg(isolated(place.token));
    const QString key = QStringLiteral("«%1»").arg(isolated(place.key));
    TokenError e;
    e.fault = fault;
    switch (fault) {
    case TokenFault::NoModule:
        e.farsi = QStringLiteral("ماژول توكن امضا %1 پيدا نشد.").arg(module);
        e.english = QStringLiteral("no token module %1").arg(place.module);
        break;
    case TokenFault::NotAModule:
        e.farsi = QStringLiteral("فايل %1 ماژول توكن امضا نيست.").arg(module);
        e.english = QStringLiteral("%1 is not a PKCS#11 module").arg(place.module);
        break;
    case TokenFault::NoToken:
        e.farsi = QStringLiteral("توكن امضا %1 پيدا نشد؛ آن را به رايانه وصل كنيد.").arg(token);
        e.english = QStringLiteral("no token labelled %1").arg(place.token);
        break;
    case TokenFault::NoPin:
        e.farsi = QStringLiteral("رمز توكن امضا داده نشد.");
        e.english = QStringLiteral("no PIN for the token was given");
        break;
    case TokenFault::WrongPin:
        e.farsi = QStringLiteral("رمز توكن امضا درست نيست");
        e.english = QStringLiteral("the token's PIN is wrong");
        break;
    case TokenFault::PinLocked:
        e.farsi = QStringLiteral("رمز توكن امضا قفل شده است؛ مدير دفتر بايد آن را باز كند.");
        e.english = QStringLiteral("the token's PIN is locked");
        break;
    case TokenFault::NoKey:
        e.farsi = QStringLiteral("كليد امضاي %1 روي توكن %2 پيدا نشد.").arg(key, token);
        e.english = QStringLiteral("no key labelled %1 on token %2").arg(place.key, place.token);
        break;
    case TokenFault::KeyExists:
        e.farsi = QStringLiteral("روي توكن %1 كليدي به نام %2 هست؛ كليد تازه ساخته نشد.").arg(token, key);
        e.english = QStringLiteral("token %1 already holds a key labelled %2").arg(place.token, place.key);
        break;
    case TokenFault::Failed:
        e.farsi = QStringLiteral("توكن امضا %1 كار نكرد.").arg(token);
        e.english = QStringLiteral("the token %1 failed").arg(place.token);
        break;
    }
    if (!detail.isEmpty()) {
        e.farsi = withEngineWords(e.farsi, detail);
        e.english += QStringLiteral(" (%1)").arg(detail);
    }
    return e;
}

// The module, its session with the token and the key's objects; closed in the reverse order.
struct TokenKey::Session {
    TokenKeyPlace place;
    void* library = nullptr;
    CK_FUNCTION_LIST_PTR f = nullptr;
    bool initialized = false;  // by this session, so finalized by it
    CK_SESSION_HANDLE handle = CK_INVALID_HANDLE;
    bool loggedIn = false;
    CK_OBJECT_HANDLE privateKey = CK_INVALID_HANDLE;
    CK_OBJECT_HANDLE publicObject = CK_INVALID_HANDLE;
    QByteArray publicKey;

    ~Session() {
        // Nothing to do about a failure on the way out: the token forgets the session anyway.
        if (loggedIn) (void)f->C_Logout(handle);
        if (handle != CK_INVALID_HANDLE) (void)f->C_CloseSession(handle);
        if (initialized) (void)f->C_Finalize(nullptr);
        if (library) (void)dlclose(library);
    }

    bool load(TokenError* error) {
        if (place.module.isEmpty() || !QFileInfo(place.module).isFile()) return fails(error, TokenFault::NoModule, place);
        library = dlopen(QFile::encodeName(place.module).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!library) return fails(error, TokenFault::NotAModule, place, QString::fromLocal8Bit(dlerror()));
        const auto getList = reinterpret_cast<CK_C_GetFunctionList>(dlsym(library, "C_GetFunctionList"));
        if (!getList) return fails(error, TokenFault::NotAModule, place, QStringLiteral("no C_GetFunctionList"));
        if (const CK_RV rv = getList(&f); rv != CKR_OK || !f || f->version.major < 2) {
            f = nullptr;
            return fails(error, TokenFault::NotAModule, place, QStringLiteral("C_GetFunctionList: %1").arg(returnCode(rv)));
        }
        CK_C_INITIALIZE_ARGS args{};
        args.flags = CKF_OS_LOCKING_OK;
        const CK_RV rv = f->C_Initialize(&args);
        if (rv != CKR_OK && rv != CKR_CRYPTOKI_ALREADY_INITIALIZED) return failsWith(error, rv, "C_Initialize", place);
        initialized = rv == CKR_OK;
        return true;
    }

    // The first slot holding a token of the place's label.
    std::optional<CK_SLOT_ID> slot(TokenError* error) {
        CK_ULONG count = 0;
        CK_RV rv = f->C_GetSlotList(CK_TRUE, nullptr, &count);
        if (rv != CKR_OK) {
            failsWith(error, rv, "C_GetSlotList", place);
            return std::nullopt;
        }
        std::vector<CK_SLOT_ID> present(std::min(count, kMostSlots));
        count = CK_ULONG(present.size());
        rv = f->C_GetSlotList(CK_TRUE, present.data(), &count);
        if (rv != CKR_OK && rv != CKR_BUFFER_TOO_SMALL) {
            failsWith(error, rv, "C_GetSlotList", place);
            return std::nullopt;
        }
        present.resize(std::min<size_t>(count, present.size()));
        for (const CK_SLOT_ID s : present) {
            CK_TOKEN_INFO info{};
            if (f->C_GetTokenInfo(s, &info) != CKR_OK || tokenLabel(info.label) != place.token) continue;
            if (info.flags & CKF_USER_PIN_LOCKED) {
                fails(error, TokenFault::PinLocked, place);
                return std::nullopt;
            }
            return s;
        }
        fails(error, TokenFault::NoToken, place);
        return std::nullopt;
    }

    bool logIn(CK_SLOT_ID slot, bool writing, const TokenPin& pin, TokenError* error) {
        const CK_FLAGS flags = CKF_SERIAL_SESSION | (writing ? CKF_RW_SESSION : 0);
        if (const CK_RV rv = f->C_OpenSession(slot, flags, nullptr, nullptr, &handle); rv != CKR_OK) {
            handle = CK_INVALID_HANDLE;
            return failsWith(error, rv, "C_OpenSession", place);
        }
        if (pin.isEmpty()) return fails(error, TokenFault::NoPin, place);
        auto* bytes = reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(pin.bytes().constData()));
        const CK_RV rv = f->C_Login(handle, CKU_USER, bytes, CK_ULONG(pin.bytes().size()));
        if (rv != CKR_OK && rv != CKR_USER_ALREADY_LOGGED_IN) {
            const TokenFault fault = faultOf(rv);
            // The PIN's own faults speak for themselves; the return code adds nothing for them.
            if (fault == TokenFault::WrongPin || fault == TokenFault::PinLocked) return fails(error, fault, place);
            return failsWith(error, rv, "C_Login", place);
        }
        loggedIn = rv == CKR_OK;
        return true;
    }

    // The objects that match `attributes`, at most `most` of them.
    std::optional<QList<CK_OBJECT_HANDLE>> find(std::vector<CK_ATTRIBUTE> attributes, CK_ULONG most, TokenError* error) {
        CK_RV rv = f->C_FindObjectsInit(handle, attributes.data(), CK_ULONG(attributes.size()));
        if (rv != CKR_OK) {
            failsWith(error, rv, "C_FindObjectsInit", place);
            return std::nullopt;
        }
        std::vector<CK_OBJECT_HANDLE> found(most);
        CK_ULONG count = 0;
        rv = f->C_FindObjects(handle, found.data(), most, &count);
        const CK_RV ended = f->C_FindObjectsFinal(handle);
        if (rv != CKR_OK) {
            failsWith(error, rv, "C_FindObjects", place);
            return std::nullopt;
        }
        if (ended != CKR_OK) {
            failsWith(error, ended, "C_FindObjectsFinal", place);
            return std::nullopt;
        }
        return QList<CK_OBJECT_HANDLE>(found.begin(), found.begin() + std::min(count, most));
    }

    // The one key of `keyClass` under the key's label.
    bool findKey(CK_OBJECT_CLASS keyClass, CK_OBJECT_HANDLE* out, TokenError* error) {
        CK_KEY_TYPE type = CKK_EC_EDWARDS;
        QByteArray label = place.key.toUtf8();
        const std::optional<QList<CK_OBJECT_HANDLE>> keys = find({{CKA_CLASS, &keyClass, sizeof keyClass},
                                                                  {CKA_KEY_TYPE, &type, sizeof type},
                                                                  {CKA_LABEL, label.data(), CK_ULONG(label.size())}},
                                                                 2, error);
        if (!keys) return false;
        if (keys->isEmpty()) return fails(error, TokenFault::NoKey, place);
        if (keys->size() > 1)
            return fails(error, TokenFault::Failed, place, QStringLiteral("several keys are labelled %1").arg(place.key));
        *out = keys->front();
        return true;
    }

    bool readPublicKey(TokenError* error) {
        CK_ATTRIBUTE point{CKA_EC_POINT, nullptr, 0};
        CK_RV rv = f->C_GetAttributeValue(handle, publicObject, &point, 1);
        if (rv != CKR_OK) return failsWith(error, rv, "C_GetAttributeValue", place);
        if (point.ulValueLen == CK_UNAVAILABLE_INFORMATION || point.ulValueLen > kMostPointBytes)
            return fails(error, TokenFault::Failed, place, QStringLiteral("the public key's point is not an Ed25519 key"));
        QByteArray value(qsizetype(point.ulValueLen), '\0');
        point.pValue = value.data();
        rv = f->C_GetAttributeValue(handle, publicObject, &point, 1);
        if (rv != CKR_OK) return failsWith(error, rv, "C_GetAttributeValue", place);
        value.truncate(qsizetype(std::min<CK_ULONG>(point.ulValueLen, CK_ULONG(value.size()))));
        const std::optional<QByteArray> key = edwardsPoint(value);
        if (!key)
            return fails(error, TokenFault::Failed, place, QStringLiteral("the public key's point is not an Ed25519 key"));
        publicKey = *key;
        return true;
    }

    // A session logged in on the place's token, for reading and signing or for making keys too.
    static std::unique_ptr<Session> opened(const TokenKeyPlace& place, const TokenPin& pin, bool writing,
                                           TokenError* error) {
        auto s = std::make_unique<Session>();
        s->place = place;
        if (!s->load(error)) return nullptr;
        const std::optional<CK_SLOT_ID> slot = s->slot(error);
        if (!slot || !s->logIn(*slot, writing, pin, error)) return nullptr;
        return s;
    }
};

TokenKey::TokenKey(std::unique_ptr<Session> session) : session_(std::move(session)) {}

TokenKey::~TokenKey() = default;

std::unique_ptr<TokenKey> TokenKey::open(const TokenKeyPlace& place, const TokenPin& pin, TokenError* error) {
    std::unique_ptr<Session> s = Session::opened(place, pin, false, error);
    if (!s || !s->findKey(CKO_PRIVATE_KEY, &s->privateKey, error) || !s->findKey(CKO_PUBLIC_KEY, &s->publicObject, error) ||
        !s->readPublicKey(error))
        return nullptr;
    return std::unique_ptr<TokenKey>(new TokenKey(std::move(s)));
}

std::unique_ptr<TokenKey> TokenKey::generate(const TokenKeyPlace& place, const TokenPin& pin, TokenError* error) {
    std::unique_ptr<Session> s = Session::opened(place, pin, true, error);
    if (!s) return nullptr;
    QByteArray label = place.key.toUtf8();
    const std::optional<QList<CK_OBJECT_HANDLE>> same =
        s->find({{CKA_LABEL, label.data(), CK_ULONG(label.size())}}, 1, error);
    if (!same) return nullptr;
    if (!same->isEmpty()) {
        fails(error, TokenFault::KeyExists, place);
        return nullptr;
    }

    // Both halves are the token's own objects, linked by an id of their own; the private half
    // signs and can never be read or taken off the token.
    if (sodium_init() < 0) {
        fails(error, TokenFault::Failed, place, QStringLiteral("no source of random numbers"));
        return nullptr;
    }
    std::array<unsigned char, 16> id{};
    randombytes_buf(id.data(), id.size());
    CK_BBOOL yes = CK_TRUE, no = CK_FALSE;
    QByteArray params = kEd25519Params;
    CK_ATTRIBUTE publicTemplate[] = {
        {CKA_TOKEN, &yes, sizeof yes},
        {CKA_PRIVATE, &no, sizeof no},
        {CKA_VERIFY, &yes, sizeof yes},
        {CKA_EC_PARAMS, params.data(), CK_ULONG(params.size())},
        {CKA_LABEL, label.data(), CK_ULONG(label.size())},
        {CKA_ID, id.data(), CK_ULONG(id.size())},
    };
    CK_ATTRIBUTE privateTemplate[] = {
        {CKA_TOKEN, &yes, sizeof yes},
        {CKA_PRIVATE, &yes, sizeof yes},
        {CKA_SENSITIVE, &yes, sizeof yes},
        {CKA_EXTRACTABLE, &no, sizeof no},
        {CKA_SIGN, &yes, sizeof yes},
        {CKA_LABEL, label.data(), CK_ULONG(label.size())},
        {CKA_ID, id.data(), CK_ULONG(id.size())},
    };
    CK_MECHANISM mechanism{CKM_EC_EDWARDS_KEY_PAIR_GEN, nullptr, 0};
    const CK_RV rv = s->f->C_GenerateKeyPair(s->handle, &mechanism, publicTemplate, std::size(publicTemplate),
                                             privateTemplate, std::size(privateTemplate), &s->publicObject, &s->privateKey);
    if (rv != CKR_OK) {
        failsWith(error, rv, "C_GenerateKeyPair", place);
        return nullptr;
    }
    auto key = std::unique_ptr<TokenKey>(new TokenKey(std::move(s)));
    if (!key->session_->readPublicKey(error)) {
        key->discard(nullptr);
        return nullptr;
    }
    return key;
}

QByteArray TokenKey::publicKey() const { return session_->publicKey; }

std::optional<QByteArray> TokenKey::sign(const QByteArray& text, QString* error) const {
    Session& s = *session_;
    auto failed = [&](CK_RV rv, const char* step) -> std::optional<QByteArray> {
        TokenError why;
        failsWith(&why, rv, step, s.place);
        if (error) *error = why.farsi;
        return std::nullopt;
    };
    CK_MECHANISM mechanism{CKM_EDDSA, nullptr, 0};
    if (const CK_RV rv = s.f->C_SignInit(s.handle, &mechanism, s.privateKey); rv != CKR_OK) return failed(rv, "C_SignInit");
    QByteArray signature(kSignatureBytes, '\0');
    CK_ULONG size = CK_ULONG(signature.size());
    auto* data = reinterpret_cast<CK_BYTE_PTR>(const_cast<char*>(text.constData()));
    if (const CK_RV rv =
            s.f->C_Sign(s.handle, data, CK_ULONG(text.size()), reinterpret_cast<CK_BYTE_PTR>(signature.data()), &size);
        rv != CKR_OK)
        return failed(rv, "C_Sign");
    // A signature the token's own public key does not accept would print a page no one can check.
    if (size != CK_ULONG(kSignatureBytes) || sodium_init() < 0 ||
        crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.constData()),
                                    reinterpret_cast<const unsigned char*>(text.constData()), quint64(text.size()),
                                    reinterpret_cast<const unsigned char*>(s.publicKey.constData())) != 0) {
        if (error)
            *error =
                tokenError(TokenFault::Failed, s.place, QStringLiteral("its signature does not match its public key")).farsi;
        return std::nullopt;
    }
    return signature;
}

bool TokenKey::discard(TokenError* error) {
    Session& s = *session_;
    for (CK_OBJECT_HANDLE* object : {&s.privateKey, &s.publicObject}) {
        if (*object == CK_INVALID_HANDLE) continue;
        if (const CK_RV rv = s.f->C_DestroyObject(s.handle, *object); rv != CKR_OK)
            return failsWith(error, rv, "C_DestroyObject", s.place);
        *object = CK_INVALID_HANDLE;
    }
    return true;
}

}  // namespace zartav::print
