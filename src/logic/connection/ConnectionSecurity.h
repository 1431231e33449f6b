#pragma once

namespace rq {

// What the user allows beyond the default, which encrypts the whole session and checks the server's certificate
// against the trust store and the server's name before the login is sent.
struct ConnectionSecurity {
    bool trustServerCertificate = false; // encrypt, but take whatever certificate the server presents
    bool allowUnencrypted = false;       // as before encryption was required: the login alone, or nothing, encrypted

    bool operator==(const ConnectionSecurity&) const = default;
};

// The choices' captions, in the connection window and in the messages that name them.
inline constexpr auto kTrustCertificateCaption = "Trust the server's certificate";
inline constexpr auto kAllowUnencryptedCaption = "Allow an unencrypted connection";

// The choices the connection window saved last.
ConnectionSecurity storedSecurity();

} // namespace rq
