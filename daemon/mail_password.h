#pragma once

class StringBuilder;

// The stored form of the SMTP password: Base64 of the Blowfish-CBC ciphertext
// (key: the login's first 16 bytes, NUL-padded; zero IV; block padding) of
// four random bytes, the first in 0x10..0x1F, followed by the password.

// Replaces the plain password in text by its stored form and returns 0. When
// the cipher cannot be had, text is emptied (the plain password is never
// stored), a line goes to stderr and the result is 1.
int encrypt_mail_password(const char* login, StringBuilder& text);

// Replaces the stored form in text by the plain password and returns 0; text
// stays unchanged (result 1) when it does not decrypt under the login.
int decrypt_mail_password(const char* login, StringBuilder& text);
