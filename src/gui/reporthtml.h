#pragma once

#include <QString>

struct CheckReport;

// The report dialog's rich text: the installed products, the updates under
// each of them (or the failure of the check), and the installed patches. Every
// text from the catalogue and the installation is escaped, and only http and
// https addresses become links.
QString reportHtml(const CheckReport &report);

// Text shown as text in rich text, with a place to break at least every few
// characters of a long word, so that an address in it wraps rather than
// widening its label.
QString wrappableHtml(const QString &text);

// An absolute http or https address with a host.
bool isWebLink(const QString &url);
