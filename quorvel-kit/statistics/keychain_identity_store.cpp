#include "quorvel-kit/statistics/keychain_identity_store.h"

#include <cstdlib>

#ifdef QUORVEL_HAVE_LIBSECRET
#include <libsecret/secret.h>
#endif

namespace quorvel {

#ifdef QUORVEL_HAVE_LIBSECRET

namespace {

const SecretSchema* schema() {
    static const SecretSchema s = {
        "com.quorvel.kit.InstallationIdentity",
        SECRET_SCHEMA_NONE,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SecretSchemaAttributeType(0)},
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return &s;
}

std::string takeError(GError* error) {
    std::string text = error ? error->message : "unknown Secret Service error";
    if (error)
        g_error_free(error);
    return text;
}

} // namespace

bool KeychainIdentityStore::available() {
    // Without a session bus GLib would try to launch one; that is not ours to do.
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!bus || !*bus)
        return false;
    GError* error = nullptr;
    GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!connection) {
        takeError(error);
        return false;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", "org.freedesktop.secrets"), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
    bool runs = false;
    if (reply) {
        gboolean owned = FALSE;
        g_variant_get(reply, "(b)", &owned);
        runs = owned;
        g_variant_unref(reply);
    } else {
        takeError(error);
    }
    g_object_unref(connection);
    return runs;
}

std::optional<std::string> KeychainIdentityStore::load() const {
    GError* error = nullptr;
    gchar* secret =
        secret_password_lookup_sync(schema(), nullptr, &error, "service", m_service.c_str(),
                                    "account", m_account.c_str(), nullptr);
    if (!secret) {
        takeError(error);
        return std::nullopt;
    }
    std::string text = secret;
    secret_password_free(secret);
    if (!g_utf8_validate(text.data(), gssize(text.size()), nullptr))
        return std::nullopt;
    return text;
}

std::expected<void, std::string> KeychainIdentityStore::save(const std::string& id) const {
    GError* error = nullptr;
    // Storing under the same attributes replaces the existing item.
    gboolean ok = secret_password_store_sync(
        schema(), SECRET_COLLECTION_DEFAULT, "Installation identity", id.c_str(), nullptr, &error,
        "service", m_service.c_str(), "account", m_account.c_str(), nullptr);
    if (!ok)
        return std::unexpected(takeError(error));
    return {};
}

#else

bool KeychainIdentityStore::available() {
    return false;
}

std::optional<std::string> KeychainIdentityStore::load() const {
    return std::nullopt;
}

std::expected<void, std::string> KeychainIdentityStore::save(const std::string&) const {
    return std::unexpected(std::string("built without Secret Service support"));
}

#endif

} // namespace quorvel
