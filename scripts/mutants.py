#!/usr/bin/python3
"""Puts realistic single faults into the product one at a time and runs the
suite (unit tests and the app's own end-to-end tests) against each: a fault
the suite does not notice is a test still to write. Works on a copy of the
tree (build/mutants), so the checkout stays as it is.

    scripts/mutants.py [--fresh | --third | ... | --twentyeighth | --unrun] [NAME-PART ...]
        --fresh, --third, ... --twentyeighth, --unrun: a later set; NAME-PART: only the faults whose name has one of these
"""
import filecmp
import os
import shutil
import subprocess
import sys
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
work = os.path.join(top, "build", "mutants")

# (name, file, text as it is, text with the fault)
FAULTS = [
    ("refusals: AutoDownload checked before the forms", "app/UpdateCore.cpp",
     '''    if (!plan.mpgDownload && !plan.mxfDownload)
        return refusal(QStringLiteral("Select at least one FileType"), interactive);
    if (!interactive && !plan.automaticDownload)
        return refusal(QStringLiteral("AutoDownload is turned Off"), interactive);''',
     '''    if (!interactive && !plan.automaticDownload)
        return refusal(QStringLiteral("AutoDownload is turned Off"), interactive);
    if (!plan.mpgDownload && !plan.mxfDownload)
        return refusal(QStringLiteral("Select at least one FileType"), interactive);'''),
    ("refusals: the menu honours AutoDownload", "app/UpdateCore.cpp",
     "if (!interactive && !plan.automaticDownload)", "if (!plan.automaticDownload)"),
    ("counters: not reset when an update starts", "app/UpdateCore.cpp", "    downloadCounter_ = 0;\n", ""),
    ("forms: the MPEG and MXF rules swapped", "app/UpdateCore.cpp",
     "return form == Form::Mxf ? mxf : mpeg;", "return form == Form::Mpeg ? mxf : mpeg;"),
    ("forms: the MXF request asks the MPEG address", "app/UpdateCore.cpp",
     "request(Form::Mxf, plan.mxfUrl, plan, interactive);", "request(Form::Mxf, plan.mpgUrl, plan, interactive);"),
    ("outcomes: success plays the alert sound", "app/UpdateCore.cpp", "        r.sound = false;\n", ""),
    ("outcomes: 200 with an error is a notification when unattended", "app/UpdateCore.cpp",
     "        r.message = *result.error;\n        r.alert = true;\n", "        r.message = *result.error;\n"),
    ("outcomes: the 401 texts of the two modes swapped", "app/UpdateCore.cpp",
     'r.message = interactive ? QStringLiteral("Check your username / password")',
     'r.message = !interactive ? QStringLiteral("Check your username / password")'),
    ("partials: removed only after the user is told", "app/UpdateCore.cpp",
     "            file->discard(); // gone before anyone hears the outcome\n            ended(outcomeOf(result, url, interactive));",
     "            ended(outcomeOf(result, url, interactive));\n            file->discard();"),
    ("partials: a removed folder goes unnoticed", "app/UpdateCore.cpp",
     "        if (!file->stillThere())\n            return platform::Failure{folderGone(file->folder())};\n", ""),
    ("diagnostics: the address keeps its credentials", "app/UpdateCore.cpp",
     "parsed.toString(QUrl::RemoveUserInfo)", "parsed.toString()"),
    ("folders: any missing folder is made", "app/UpdateCore.cpp",
     "documents && plan.folder == *documents && !QFileInfo::exists(plan.folder)",
     "documents && !QFileInfo::exists(plan.folder)"),
    ("tooltip: the summaries of earlier updates kept", "app/UpdateCore.cpp",
     "last ? std::exchange(summaries_, {}) : summaries_", "summaries_"),
    ("TLS: host names not checked", "platform/CurlHttpClient.cpp",
     "CURLOPT_SSL_VERIFYHOST, 2L", "CURLOPT_SSL_VERIFYHOST, 0L"),
    ("redirects: down to plain HTTP followed", "platform/CurlHttpClient.cpp",
     'CURLOPT_REDIR_PROTOCOLS_STR, "https"', 'CURLOPT_REDIR_PROTOCOLS_STR, "http,https"'),
    ("TLS: close_notify test inverted", "platform/CurlHttpClient.cpp",
     "(alert & 0xff) != SSL3_AD_CLOSE_NOTIFY", "(alert & 0xff) == SSL3_AD_CLOSE_NOTIFY"),
    ("limits: the idle limit in the wrong unit", "platform/CurlHttpClient.cpp",
     "Clock::now() - t.lastByte < t.request.idleTimeout", "Clock::now() - t.lastByte < t.request.idleTimeout * 1000"),
    ("limits: the announced length ignored by the disk check", "platform/CurlHttpClient.cpp",
     "std::max<std::int64_t>(std::int64_t(expected) - t.received, incoming)",
     "std::max<std::int64_t>(incoming, incoming)"),
    ("writes: a failed write not reported", "platform/ClipWriter.cpp", "    return error_ == 0;", "    return true;"),
    ("progress: the last report dropped", "platform/CurlHttpClient.cpp", "    reportProgress(t, 0);\n", ""),
    ("redirects: not followed", "platform/CurlHttpClient.cpp",
     "CURLOPT_FOLLOWLOCATION, 1L", "CURLOPT_FOLLOWLOCATION, 0L"),
    ("request: curl's own form type sent", "platform/CurlHttpClient.cpp",
     '    t.headers.reset(curl_slist_append(t.headers.release(), "Content-Type:"));\n', ""),
    ("request: Digest instead of Basic", "platform/CurlHttpClient.cpp", "long(CURLAUTH_BASIC)", "long(CURLAUTH_DIGEST)"),
    ("durability: no fdatasync before the rename", "platform/DurableFile.cpp",
     "if (::fdatasync(fd_.get()) != 0 || !fd_.close())", "if (!fd_.close())"),
    ("durability: the folder not flushed after the rename", "platform/DurableFile.cpp",
     "    syncFolder(folder_);\n", ""),
    ("durability: the clip keeps the temporary file's 0600", "platform/DurableFile.cpp",
     "    ::fchmod(fd_.get(), 0666 & ~currentUmask());\n", ""),
    ("partials: not locked while written", "platform/DurableFile.cpp",
     "    ::flock(file.fd_.get(), LOCK_EX); // held while we write: the file is not abandoned\n", ""),
    ("settings file: the mode asked for not applied", "platform/DurableFile.cpp",
     "(!mode || file.setPermissions(*mode))", "(!mode || true)"),
    ("names: a hidden name allowed", "platform/DownloadNames.cpp",
     "if (name.startsWith(QLatin1Char('.')) || name.toUtf8().size() > 255)", "if (name.toUtf8().size() > 255)"),
    ("names: controls kept in filename*", "platform/DownloadNames.cpp",
     "lastComponent(withoutControls(decodeExtValue(value)))", "lastComponent(decodeExtValue(value))"),
    ("clean-up: other users' files removed", "platform/DownloadNames.cpp",
     " || st.st_uid != ::geteuid()", ""),
    ("clean-up: a file being written removed", "platform/DownloadNames.cpp",
     "::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && ", ""),
    ("autostart: KDE counted as honouring GNOME's switch", "platform/LoginItems.cpp",
     'static const QStringList honouring{QStringLiteral("GNOME"),',
     'static const QStringList honouring{QStringLiteral("KDE"), QStringLiteral("GNOME"),'),
    ("autostart: %% in Exec not undone", "platform/LoginItems.cpp",
     'QByteArray(argv[i]).replace("%%", "%")', "QByteArray(argv[i])"),
    ("due time: this hour's firing put in the next hour", "app/DueTime.cpp",
     "return DueTime{*dueThisHour, true};", "return DueTime{*dueNextHour, true};"),
    ("scheduler: wake stops the timer instead of re-arming it", "app/AppDelegate.cpp",
     "    else if (notificationName == platform::kDidWakeNotification)\n        startTimer();",
     "    else if (notificationName == platform::kDidWakeNotification)\n        stopTimer();"),
    ("settings: a fractional switch read as off", "app/SettingsRecord.cpp",
     "return value.toDouble() != 0.0;", "return value.toInt() != 0;"),
    ("settings file: the first copy readable by all", "store/TavrelPlist.cpp",
     "constexpr mode_t kPrivateFile = 0600;", "constexpr mode_t kPrivateFile = 0644;"),
    ("tray: a far Activate point trusted", "platform/StatusNotifier.cpp",
     "(at - pointer).manhattanLength() > kNearPointer", "(at - pointer).manhattanLength() > kNearPointer * 100"),
    ("notices: the window's text not wrapped", "platform/Notifier.cpp",
     "QTextOption::WrapAtWordBoundaryOrAnywhere", "QTextOption::NoWrap"),
]


# A second set, written after the first had been run and its misses mended:
# faults the suite had not been measured against.
FRESH = [
    ("progress: received and expected swapped", "app/UpdateCore.cpp",
     "arg(received).arg(expected)", "arg(expected).arg(received)"),
    ("auth: the Basic header over Latin-1", "app/UpdateCore.cpp",
     "credentials.toUtf8().toBase64()", "credentials.toLatin1().toBase64()"),
    ("folders: a relative folder taken as it is", "app/UpdateCore.cpp",
     "const QString folder = QFileInfo(plan.folder).absoluteFilePath();", "const QString folder = plan.folder;"),
    ("tooltip: the whole path instead of the name", "app/UpdateCore.cpp",
     'QFileInfo(result.storedPath).fileName() + QStringLiteral(" received")',
     'result.storedPath + QStringLiteral(" received")'),
    ("forms: an unnamed MXF clip stored as zandor.mpeg", "app/UpdateCore.cpp",
     '{QStringLiteral("mxf")}, {QStringLiteral("mxf")}, QStringLiteral("zandor.mxf")};',
     '{QStringLiteral("mxf")}, {QStringLiteral("mxf")}, QStringLiteral("zandor.mpeg")};'),
    ("redirects: no limit", "platform/CurlHttpClient.cpp", "CURLOPT_MAXREDIRS, 5L", "CURLOPT_MAXREDIRS, -1L"),
    ("names: a redirect's Content-Disposition kept", "platform/CurlHttpClient.cpp",
     "        t.contentDisposition.clear();\n", ""),
    ("writes: every block written at the start", "platform/ClipWriter.cpp",
     "        written += std::int64_t(block.size);\n", ""),
    ("durability: renamed into the working directory", "platform/DurableFile.cpp",
     "const QString target = QDir(folder_).filePath(name);", "const QString target = name;"),
    ("names: filename preferred to filename*", "platform/DownloadNames.cpp",
     "{extended, plain, withoutControls(QUrl(url).fileName())}", "{plain, extended, withoutControls(QUrl(url).fileName())}"),
    ("names: extensions matched case-sensitively", "platform/DownloadNames.cpp",
     "extension, Qt::CaseInsensitive)", "extension, Qt::CaseSensitive)"),
    ("autostart: switching on leaves Hidden", "platform/LoginItems.cpp",
     "        g_key_file_remove_key(keys, group, G_KEY_FILE_DESKTOP_KEY_HIDDEN, nullptr);\n", ""),
    ("settings: fractional minutes cut to whole ones", "app/SettingsRecord.cpp",
     "QString::number(value.toDouble(), 'g', 17)", "QString::number(value.toInt())"),
    ("settings file: deep nesting let through", "store/PlistFormat.cpp",
     "    if (depth > kDeepestNesting)", "    if (depth > kDeepestNesting * 1000)"),
    ("tray: one wait more than the fallback promises", "app/AppDelegate.cpp",
     "if (++trayRetries_ < kTrayRetries)", "if (trayRetries_++ < kTrayRetries)"),
    ("due time: the due minute itself counted as this hour", "app/DueTime.cpp",
     "isBetween(now, *startOfHour, *dueThisHour)", "isBetween(now, *startOfHour, dueThisHour->addSecs(60))"),
    ("notices: the capabilities waited for 30 s", "platform/Notifier.cpp",
     "constexpr int kCapabilitiesWaitMs = 3000;", "constexpr int kCapabilitiesWaitMs = 30000;"),
    ("notices: the own window as wide as the screen", "platform/Notifier.cpp",
     "std::min(popup->fontMetrics().averageCharWidth() * 40 + 2 * kGap, area.width() - 2 * kGap)",
     "area.width() - 2 * kGap"),
]


# A third set, written before any run of it, by reading the product code
# alone: one or two faults per file, none of them aimed at a known test.
THIRD = [
    ("plist: negative integers read back as huge unsigned ones", "store/PlistFormat.cpp",
     "value > uint64_t(std::numeric_limits<qint64>::max()) && !writesNegative(node)",
     "value > uint64_t(std::numeric_limits<qint64>::max())"),
    ("plist: a UTF-8 byte-order mark left in", "store/PlistFormat.cpp",
     "        return bytes.mid(3);\n", "        return bytes;\n"),
    ("settings folder: left at the umask's mode", "store/TavrelPlist.cpp",
     "        ::chmod(QFile::encodeName(folder).constData(), kPrivateFolder); // whatever the umask said\n", ""),
    ("settings file: a read-only file overwritten", "store/TavrelPlist.cpp",
     "if (readOnly || linkToNoFile ||", "if (linkToNoFile ||"),
    ("settings file: an unreadable file overwritten without a copy", "store/TavrelPlist.cpp",
     "        pList->keepUnreadableCopy(); // the save below would lose what it held\n", "        ;\n"),
    ("settings: a missing switch read as off", "app/SettingsRecord.cpp",
     "        return defaultOf(key).toBool();", "        return value.toBool();"),
    ("autostart: NotShowIn ignored", "platform/LoginItems.cpp",
     "    if (listsAny(keys, G_KEY_FILE_DESKTOP_KEY_NOT_SHOW_IN, currentDesktops))\n        return entry;\n", ""),
    ("autostart: the system folders' precedence reversed", "platform/LoginItems.cpp",
     "for (auto folder = systemFolders_.crbegin(); folder != systemFolders_.crend(); ++folder)",
     "for (auto folder = systemFolders_.cbegin(); folder != systemFolders_.cend(); ++folder)"),
    ("autostart: a $ in the program's path not escaped", "platform/LoginItems.cpp",
     "c == '\"' || c == '`' || c == '$' || c == '\\\\'", "c == '\"' || c == '`' || c == '\\\\'"),
    ("autostart: a relative XDG_CONFIG_HOME taken", "platform/LoginItems.cpp",
     "config.isEmpty() || !QDir::isAbsolutePath(QString::fromLocal8Bit(config))", "config.isEmpty()"),
    ("tray: a disabled menu entry triggered by the host", "platform/StatusNotifier.cpp",
     "target && target->isEnabled()", "target"),
    ("tray: icon pixels in host byte order", "platform/StatusNotifier.cpp",
     "*out++ = qToBigEndian(line[x]);", "*out++ = line[x];"),
    ("tray: its own unregistration by service name ignored", "platform/StatusNotifier.cpp",
     "if (id != service_ && connection != bus_.baseService())", "if (id != service_ || connection != bus_.baseService())"),
    ("notices: the body escaped for a server without markup", "platform/Notifier.cpp",
     "    if (markup)\n        shown.replace", "    if (true)\n        shown.replace"),
    ("notices: our own sound as well as the server's", "platform/Notifier.cpp",
     "    else if (playSound_)\n        playSound_();", "    if (playSound_)\n        playSound_();"),
    ("notices: those held while asking lost when nobody answers", "platform/Notifier.cpp",
     "            for (const auto &[heldTitle, heldBody] : waiting)\n                fallBack(heldTitle, heldBody, reply.error().message());\n",
     ""),
    ("wake: the timer not re-armed", "app/AppDelegate.cpp",
     "    else if (notificationName == platform::kDidWakeNotification)\n        startTimer();",
     "    else if (notificationName == platform::kDidWakeNotification)\n        stopTimer();"),
    ("timer: the old one kept running when re-armed", "app/AppDelegate.cpp",
     "    if (timer)\n        timer->invalidate();\n    if (!automatic) {", "    if (!automatic) {"),
    ("about: a link without a host opened", "app/Windows.cpp",
     "url.isRelative() || url.host().isEmpty()", "url.isRelative()"),
    ("about: any mouse button opens the link", "app/Windows.cpp",
     "mouse->button() == Qt::LeftButton && ", ""),
    ("due time: negative minutes a day off", "app/DueTime.cpp",
     "        rest += kMinutesPerDay;\n        --days;\n", "        rest += kMinutesPerDay;\n"),
    ("due time: the second of a doubled autumn time", "app/DueTime.cpp",
     "            result = first;\n            break;", "            break;"),
    ("listing: hidden entries listed", "support/TavrelUtils.cpp",
     "        if (shortName.startsWith(QLatin1Char('.')))\n            continue; // hidden\n", ""),
    ("video size: rotation ignored", "support/TavrelUtils.cpp",
     "const double radians = track.rotationDegrees * M_PI / 180.0;", "const double radians = 0.0;"),
    ("short time: seconds shown", "support/TavrelExtensions.cpp",
     "locale.timeFormat(QLocale::ShortFormat).remove(seconds)", "locale.timeFormat(QLocale::ShortFormat)"),
    ("path extension: trailing separators kept", "support/TavrelExtensions.cpp",
     "    while (base.endsWith(QLatin1Char('/')))\n        base.chop(1);\n", ""),
    ("names: a hidden name taken", "platform/DownloadNames.cpp",
     "if (name.startsWith(QLatin1Char('.')) || name.toUtf8().size() > 255)", "if (name.toUtf8().size() > 255)"),
    ("names: a quoted name's backslashes kept", "platform/DownloadNames.cpp",
     "                if (header[j] == '\\\\' && j + 1 < n)\n                    ++j;\n", ""),
    ("clean-up: a locked partial removed", "platform/DownloadNames.cpp",
     "if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && ::unlink", "if (::unlink"),
    ("clips: stored without regard to the umask", "platform/DurableFile.cpp",
     "::fchmod(fd_.get(), 0666 & ~currentUmask());", "::fchmod(fd_.get(), 0666);"),
    ("clip check: any container accepted", "platform/ClipCheck.cpp",
     "if (!isOneOf(format->iformat->name, formats) || avformat_find_stream_info",
     "if (avformat_find_stream_info"),
    ("clip check: one decoded frame enough", "platform/ClipCheck.cpp",
     "kFramesInARow[] = {3, 8};", "kFramesInARow[] = {1, 1};"),
    ("media: a cover picture counted as video", "platform/MediaAsset.cpp",
     "codec->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)",
     "codec->codec_type == AVMEDIA_TYPE_VIDEO"),
    ("command line: a stray argument accepted", "app/CommandLine.cpp",
     "if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty())", "if (!parser.parse(arguments))"),
    ("templates: an administrator's ignored", "platform/Folders.cpp",
     'if (type == QLatin1String("plist")) {', 'if (false) {'),
    ("fields: texts cut at 32767 characters", "app/LazyWidgets.cpp",
     "        editor_->setMaxLength(std::numeric_limits<int>::max()); // texts are kept whole, never cut at 32767\n", ""),
]

# A fourth set, written after the third's misses were mended and before any
# run of it, from the product code alone.
FOURTH = [
    ("outcomes: a refused password hourly raises an alert", "app/UpdateCore.cpp",
     '        r.title = r.summary = QStringLiteral("Error Connecting: Unauthorized");\n',
     '        r.title = r.summary = QStringLiteral("Error Connecting: Unauthorized");\n        r.alert = true;\n'),
    ("requests: MXF asked before MPEG", "app/UpdateCore.cpp",
     "    if (plan.mpgDownload)\n        request(Form::Mpeg, plan.mpgUrl, plan, interactive);\n"
     "    if (plan.mxfDownload)\n        request(Form::Mxf, plan.mxfUrl, plan, interactive);\n",
     "    if (plan.mxfDownload)\n        request(Form::Mxf, plan.mxfUrl, plan, interactive);\n"
     "    if (plan.mpgDownload)\n        request(Form::Mpeg, plan.mpgUrl, plan, interactive);\n"),
    ("tooltip: the outcome shown before the last request ended", "app/Update.cpp",
     "                if (lastOfUpdate) {", "                if (true) {"),
    ("settings window: no default button", "app/MainInterface.cpp",
     "    settingsWindow_.setDefaultButton(ui.btnSettingsOk);\n", ""),
    ("accessibility: the password field's name misspelt", "app/MainInterface.cpp",
     '{ui.setPasssword, QStringLiteral("Password"),', '{ui.setPasssword, QStringLiteral("Pasword"),'),
    ("notices: each replaces the one before", "platform/Notifier.cpp",
     '<< QStringLiteral("ZandorUpdate") << uint(0) <<', '<< QStringLiteral("ZandorUpdate") << uint(1) <<'),
    ("tray: the tooltip without its title", "platform/StatusNotifier.cpp",
     'return {QString(), {}, QStringLiteral("ZandorUpdate"), toolTipText_};', 'return {QString(), {}, QString(), toolTipText_};'),
    ("menu: separators sent as items", "platform/StatusNotifier.cpp",
     "    if (action->isSeparator())\n        return", "    if (false)\n        return"),
    ("autostart: switching off deletes a user's own entry", "platform/LoginItems.cpp",
     "if ((program && contents == entryFor(*program)) || off.isEmpty())", "if (true)"),
    ("plist: real numbers read as whole ones", "store/PlistFormat.cpp",
     "        plist_get_real_val(node, &value);\n        return QVariant(value);",
     "        plist_get_real_val(node, &value);\n        return QVariant(qint64(value));"),
    ("settings file: the first copy world-readable", "store/TavrelPlist.cpp",
     "O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFile);", "O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);"),
    ("settings: a switch of 2 read as off", "app/SettingsRecord.cpp",
     "return value.toDouble() != 0.0;", "return value.toDouble() == 1.0;"),
    ("attributes: permissions with the file type bits", "support/TavrelUtils.cpp",
     "{FilePermissionsKey, int(st.st_mode & 07777)},", "{FilePermissionsKey, int(st.st_mode)},"),
    ("delete: nothing there counts as deleted", "support/TavrelUtils.cpp",
     "    else if ((void)fs::symlink_status(path, error); !error)\n        fs::remove_all(path, error);",
     "    else\n        fs::remove_all(path, error);"),
    ("zones: the preferred zone taken when it does not use the name now", "support/TavrelExtensions.cpp",
     "preferred != preferredZones().end() && usesNow(QTimeZone(preferred->second))",
     "preferred != preferredZones().end()"),
    ("names: a name of over 255 bytes taken", "platform/DownloadNames.cpp",
     "name.toUtf8().size() > 255", "name.toUtf8().size() > 1024"),
    ("transfer: silence counted from the start, not the last byte", "platform/CurlHttpClient.cpp",
     "    t.received += std::int64_t(bytes);\n    t.lastByte = Clock::now();\n", "    t.received += std::int64_t(bytes);\n"),
    ("transfer: an error page's body written into the file", "platform/CurlHttpClient.cpp",
     "        if (status != 200)\n            t.discarding = true;\n        else\n            t.writer",
     "        if (false)\n            t.discarding = true;\n        else\n            t.writer"),
    ("writes: a failed write not reported", "platform/ClipWriter.cpp",
     "    if (error_ == 0)\n        error_ = error;\n    queue_.clear();", "    queue_.clear();"),
    ("folders: the desktop taken for the documents folder", "platform/Folders.cpp",
     "        path = writable(QStandardPaths::DocumentsLocation);", "        path = writable(QStandardPaths::DesktopLocation);"),
    ("media: a duration from the bitrate kept", "platform/MediaAsset.cpp",
     "if (preciseDuration && format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) {",
     "if (false) {"),
    ("chooser: opens where it likes", "app/Windows.cpp",
     "TavrelExtensions::selectDir(current)", "TavrelExtensions::selectDir(QString())"),
    ("settings: OK does not arm the timer afresh", "app/Windows.cpp",
     "    readFromPlist();\n    startTimer();\n    if (settingsWindow)", "    readFromPlist();\n    if (settingsWindow)"),
    ("timer: fires once, not every hour", "platform/Timers.cpp",
     "        spec.it_interval = toTimespec(interval_);\n", ""),
]
FIFTH = [
    ("names: a 256-byte file name let through", "platform/DownloadNames.cpp",
     "name.toUtf8().size() > 255", "name.toUtf8().size() > 256"),
    ("names: DEL let into a name", "platform/DownloadNames.cpp",
     " || c.unicode() < 0x20 || c.unicode() == 0x7f)", " || c.unicode() < 0x20)"),
    ("names: filename* in an unknown charset read as UTF-8", "platform/DownloadNames.cpp",
     "        return QString::fromLatin1(decoded);\n    return {};", "        return QString::fromLatin1(decoded);\n    return QString::fromUtf8(decoded);"),
    ("names: plain filename before filename*", "platform/DownloadNames.cpp",
     "for (const QString &candidate : {extended, plain,", "for (const QString &candidate : {plain, extended,"),
    ("due time: the farthest minutes refused at the bound", "app/DueTime.cpp",
     "if (minutes > kFarthestMinutes || minutes < -kFarthestMinutes)", "if (minutes >= kFarthestMinutes || minutes <= -kFarthestMinutes)"),
    ("due time: a leading plus refused", "app/DueTime.cpp",
     "const bool plus = begin != end && *begin == '+';", "const bool plus = false;"),
    ("due time: a time shown twice takes the later", "app/DueTime.cpp",
     "for (const int earlier : {3600, 1800})", "for (const int earlier : {0})"),
    ("due time: a skipped time not counted on", "app/DueTime.cpp",
     "result = wallClock(day, reading - back, zone).addSecs(back * 60);", "result = wallClock(day, reading - back, zone);"),
    ("timer: a wall-clock change not passed on", "platform/Timers.cpp",
     "            if (auto handler = handlers_.wallClockChanged)\n                handler();", ""),
    ("http: up to 50 redirects", "platform/CurlHttpClient.cpp",
     "CURLOPT_MAXREDIRS, 5L", "CURLOPT_MAXREDIRS, 50L"),
    ("http: credentials sent on to another host", "platform/CurlHttpClient.cpp",
     "    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);\n", "    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);\n    curl_easy_setopt(e, CURLOPT_UNRESTRICTED_AUTH, 1L);\n"),
    ("outcome: the status's reason left out of the support line", "app/UpdateCore.cpp",
     ".arg(result.response->reason).trimmed();", ".arg(QString()).trimmed();"),
    ("outcome: a 200 with an error not alerted hourly", "app/UpdateCore.cpp",
     "        r.message = *result.error;\n        r.alert = true;\n", "        r.message = *result.error;\n"),
    ("refusals: automatic off refuses the menu's update too", "app/UpdateCore.cpp",
     "if (!interactive && !plan.automaticDownload)", "if (!plan.automaticDownload)"),
    ("durable: a file unlinked under us counted as there", "platform/DurableFile.cpp",
     "return ::fstat(fd_.get(), &st) == 0 && st.st_nlink > 0;", "return ::fstat(fd_.get(), &st) == 0;"),
    ("clip check: one decoded frame enough", "platform/ClipCheck.cpp",
     "return frames >= kFramesInARow[frame.sample_rate > 0 ? 1 : 0];", "return frames >= 1;"),
    ("support: between counts its ends", "support/TavrelExtensions.cpp",
     "return compare(first, date) == compare(date, second);", "return compare(first, date) <= 0 && compare(date, second) <= 0;"),
    ("support: a joined path keeps its trailing slash", "support/TavrelExtensions.cpp",
     "if (joined.size() > 1 && joined.endsWith(QLatin1Char('/')))", "if (false)"),
    ("support: an extension starting with a slash appended", "support/TavrelExtensions.cpp",
     " || ext.startsWith(QLatin1Char('/')))", ")"),
    ("command line: stray arguments taken", "app/CommandLine.cpp",
     "if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty())", "if (!parser.parse(arguments))"),
    ("autostart: NotShowIn ignored", "platform/LoginItems.cpp",
     "    if (listsAny(keys, G_KEY_FILE_DESKTOP_KEY_NOT_SHOW_IN, currentDesktops))\n        return entry;\n", ""),
    ("autostart: Pantheon's switch ignored", "platform/LoginItems.cpp",
     'QStringLiteral("Unity"), QStringLiteral("Pantheon")};', 'QStringLiteral("Unity")};'),
]

SIXTH = [
    ("settings: a true/false minutes read as a number", "app/SettingsRecord.cpp",
     "isNumber(value) && value.typeId() != QMetaType::Bool)", "isNumber(value))"),
    ("settings: a key the file lacks kept", "app/AppDelegate.cpp",
     "        else\n            appSettings.remove(field.key);\n", ""),
    ("settings: switches saved as true/false", "app/AppDelegate.cpp",
     "qint64((this->**box)->isChecked() ? 1 : 0)", "(this->**box)->isChecked()"),
    ("settings window: the chosen folder written as a URL", "app/Windows.cpp",
     "setLabelFolder->setText(url->toLocalFile());", "setLabelFolder->setText(url->toString());"),
    ("requests: MXF alone counted as two", "app/Windows.cpp",
     "update_.setRequestsPerUpdate(mpeg && setDownloadFormatMXF", "update_.setRequestsPerUpdate(setDownloadFormatMXF"),
    ("autostart: switched again at every OK", "app/Windows.cpp",
     "if (wanted && !applicationIsInStartUpItems())", "if (wanted)"),
    ("about: Space does not open the link", "app/Windows.cpp",
     " || key == Qt::Key_Space) {", ") {"),
    ("windows: centred again at every show", "app/Windows.cpp",
     '        window->setProperty("zu_placed", true);\n', ""),
    ("menu: Update Now runs as the hourly update", "app/AppDelegate.cpp",
     "    downloadFromRemote(true);\n", "    downloadFromRemote(false);\n"),
    ("command line: a bad argument exits 1", "app/CommandLine.cpp", "        return 2;\n", "        return 1;\n"),
    ("command line: Qt's -platform refused", "app/CommandLine.cpp",
     '    "platform",    "platformpluginpath",', '    "platformpluginpath",'),
    ("templates: no administrator's template without XDG_CONFIG_DIRS", "platform/Folders.cpp",
     '        return {QStringLiteral("/etc/xdg")};', "        return {};"),
    ("menu: children listed at depth 0", "platform/StatusNotifier.cpp",
     "if (parentId == 0 && menu_ && depth != 0)", "if (parentId == 0 && menu_)"),
    ("menu: item ids from 0", "platform/StatusNotifier.cpp",
     "int(menu_->actions().indexOf(action)) + 1 : -1", "int(menu_->actions().indexOf(action)) : -1"),
    ("session end: Ctrl-C not handled", "platform/System.cpp",
     "{SIGTERM, SIGHUP, SIGINT}", "{SIGTERM, SIGHUP}"),
    ("timer: the first firing taken as relative", "platform/Timers.cpp",
     "TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET", "TFD_TIMER_CANCEL_ON_SET"),
    ("paths: the root folder named as empty", "support/TavrelUtils.cpp",
     "while (path.size() > 1 && path.endsWith", "while (path.size() > 0 && path.endsWith"),
    ("media info: the extension key spelt right", "support/MediaInfoJson.cpp",
     '{"urlExtenstion", info.urlExtenstion}', '{"urlExtension", info.urlExtenstion}'),
    ("logger: the level at the verbosity not printed", "store/TavrelLogger.cpp",
     "if (int(level) <= int(verbosityLevel))", "if (int(level) < int(verbosityLevel))"),
    ("logger: raw value 5 refused", "store/TavrelLogger.cpp",
     "if (rawValue < 0 || rawValue > 5)", "if (rawValue < 0 || rawValue >= 5)"),
]

SEVENTH = [
    ("output: lines not flushed", "platform/Output.cpp", "    std::fflush(stdout);\n", ""),
    ("sleep: logind's flag read the wrong way round", "platform/SleepWatcher.cpp",
     "sleeping ? kWillSleepNotification : kDidWakeNotification", "sleeping ? kDidWakeNotification : kWillSleepNotification"),
    ("alerts: no default button", "platform/Dialogs.cpp",
     "    if (!buttons.empty())\n        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.front()));\n", ""),
    ("alerts: the response counted from 0", "platform/Dialogs.cpp",
     "outcome.response = kAlertFirstButton + int(clicked - buttons.begin());",
     "outcome.response = int(clicked - buttons.begin());"),
    ("alerts: the typed text lost", "platform/Dialogs.cpp",
     "outcome.accessoryText = edit->text();", "outcome.accessoryText = *spec.accessoryText;"),
]

# Written at 25 places drawn at random (seed 20261208) from the product's
# executable lines, one fault each, before any was run.
EIGHTH = [
    ("due: a due time out of range said nothing", "app/AppDelegate.cpp",
     "    if (!due)\n        return outOfRange();\n", "    if (!due)\n        return;\n"),
    ("defaults: only the window's fields get one", "app/SettingsRecord.cpp",
     "        record.insert(field.key, field.builtInDefault);\n",
     "        if (field.row > 0)\n            record.insert(field.key, field.builtInDefault);\n"),
    ("counters: requests per update read from those ended", "app/UpdateCore.h",
     "qint64 requestsPerUpdate() const { return nrOfDownloads_; }",
     "qint64 requestsPerUpdate() const { return downloadCounter_; }"),
    ("clip check: a frame the decoder refuses keeps the run", "platform/ClipCheck.cpp",
     "            if (got < 0) {\n                runs[stream].frames = 0;\n", "            if (got < 0) {\n"),
    ("writes: a short write counted as whole", "platform/ClipWriter.cpp",
     "        done += std::size_t(n);", "        done = block.size;"),
    ("transfers: only the first of those queued together started", "platform/CurlHttpClient.cpp",
     "            while (!incoming.empty()) {\n                auto transfer = std::move(incoming.front());\n"
     "                incoming.pop_front();",
     "            if (!incoming.empty()) {\n                auto transfer = std::move(incoming.front());\n"
     "                incoming.clear();"),
    ("names: the charset of filename* compared as sent", "platform/DownloadNames.cpp",
     "value.left(first).toLower();", "value.left(first);"),
    ("clip check: loaded only when prepared first", "platform/HttpClient.cpp",
     "                                std::int64_t size)\n{\n    prepare();\n",
     "                                std::int64_t size)\n{\n"),
    ("login: an absolute program taken without testing it", "platform/LoginItems.cpp",
     "(g_file_test(name, test) ? g_strdup(name) : nullptr)", "g_strdup(name)"),
    ("media: the decoder not drained at the end", "platform/MediaAsset.cpp",
     "        avcodec_send_packet(codec, nullptr); // what the decoder still holds\n", ""),
    ("media: a cover picture counted as video", "platform/MediaAsset.cpp",
     " && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)", ""),
    ("media: metadata keys matched by case", "platform/MediaAsset.cpp",
     "common.contains(key, Qt::CaseInsensitive)", "common.contains(key)"),
    # The 13th place, a notice text's width hint, was missed and then found
    # unused (every notice has a fixed size): the hint went.
    ("notices on Wayland: not moved beside the window", "platform/Notifier.cpp",
     "            popup->move(window->geometry().topLeft() + at.topLeft());\n", ""),
    ("tray: the legacy icon starts without the tooltip", "platform/StatusItem.cpp",
     "    xembed_->setToolTip(toolTip_);\n", ""),
    ("tray: the legacy icon shown beside a registered item", "platform/StatusItem.cpp",
     "!image.isNull() && !notifier_->isRegistered() && !xembed_->isVisible()",
     "!image.isNull() && !xembed_->isVisible()"),
    ("menu: group properties sent without their values", "platform/StatusNotifier.cpp",
     "    out << item.id << item.properties;\n    out.endStructure();\n    return out;\n}\n\nconst QDBusArgument &operator>>(const QDBusArgument &in, MenuItemProperties",
     "    out << item.id << QVariantMap();\n    out.endStructure();\n    return out;\n}\n\nconst QDBusArgument &operator>>(const QDBusArgument &in, MenuItemProperties"),
    ("menu: an event's timestamp not read", "platform/StatusNotifier.cpp",
     "    in >> event.id >> event.eventId >> event.data >> event.timestamp;",
     "    in >> event.id >> event.eventId >> event.data;"),
    ("tooltip: hosts not told of a new one", "platform/StatusNotifier.cpp",
     "    if (auto *adaptor = findChild<SniAdaptor *>())\n        emit adaptor->NewToolTip();\n", ""),
    ("menu: children listed under the parent's id", "platform/StatusNotifier.cpp",
     "MenuLayoutItem{idOf(child), properties(child), {}}", "MenuLayoutItem{parentId, properties(child), {}}"),
    ("menu: a middle click shows nothing", "platform/StatusNotifier.h",
     "    void SecondaryActivate(int x, int y) { item_->popUpMenu(x, y); }", "    void SecondaryActivate(int, int) {}"),
    ("settings: items asked of a store without a file", "store/TavrelPlist.cpp",
     "QVariantMap TavrelPlist::getItems() const\n{\n    if (!pList)\n        return {};\n",
     "QVariantMap TavrelPlist::getItems() const\n{\n"),
    ("folders: a failed mkdir names the folder without its place", "support/TavrelExtensions.cpp",
     "std::strerror(errno)), path));", "std::strerror(errno)), name));"),
    ("dates: the local date keeps the milliseconds", "support/TavrelExtensions.cpp",
     "    const QTime time(now.time().hour(), now.time().minute(), now.time().second());",
     "    const QTime time = now.time();"),
    ("media info: the type read from the size key", "support/TavrelUtils.cpp",
     "info.urlType = attributes.value(FileTypeKey).toString();",
     "info.urlType = attributes.value(FileSizeKey).toString();"),
]

# A ninth set, also at random places (seed 20261209 over the product's 3816
# executable lines; a place that is only a brace, a signature or a bare
# return was passed over), each fault written before the first run.
NINTH = [
    ("tooltip: the first-start hint over the last outcome", "app/AppDelegate.cpp",
     "    if (lastOutcome_.isEmpty() && textSetting(kUsername).isEmpty())\n",
     "    if (textSetting(kUsername).isEmpty())\n"),
    ("requests: the certificate authority not passed on", "app/UpdateCore.cpp",
     "    request.caFile = plan.caFile;\n", ""),
    ("start: the application named in lower case", "app/main.cpp",
     'setApplicationName(QStringLiteral("ZandorUpdate"))', 'setApplicationName(QStringLiteral("zandorupdate"))'),
    ("clip check: the content type named last", "platform/ClipCheck.cpp",
     "        said.prepend(type);", "        said << type;"),
    ("writes: an unaligned tail written direct", "platform/ClipWriter.cpp",
     "    if (direct_ && block.size % kAlign != 0 && !buffered())\n        return errno;\n", ""),
    ("transfers: the header list never freed", "platform/CurlHttpClient.cpp",
     "{ curl_slist_free_all(list); }", "{ (void)list; }"),
    ("transfers: the disk looked at on every chunk", "platform/CurlHttpClient.cpp",
     "        t.spaceChecked = t.received;\n", ""),
    ("transfers: the worker started before its handle is made", "platform/CurlHttpClient.cpp",
     "        worker_->multi = curl_multi_init();\n        worker_->client = this;\n"
     "        worker_->thread = std::thread([w = worker_.get()] { w->run(); });\n",
     "        worker_->client = this;\n        worker_->thread = std::thread([w = worker_.get()] { w->run(); });\n"
     "        worker_->multi = curl_multi_init();\n"),
    ("names: a trailing backslash read past the end", "platform/DownloadNames.cpp",
     "if (header[j] == '\\\\' && j + 1 < n)", "if (header[j] == '\\\\')"),
    ("folders: pictures taken as music", "platform/Folders.cpp",
     "path = writable(QStandardPaths::PicturesLocation);", "path = writable(QStandardPaths::MusicLocation);"),
    ("notices: the service asked again while it is asked", "platform/Notifier.cpp",
     "    if (asking_)\n        return;\n", ""),
    ("menu: layout items sent without their properties", "platform/StatusNotifier.cpp",
     "    out << item.id << item.properties;\n    out.beginArray(", "    out << item.id << QVariantMap();\n    out.beginArray("),
    ("menu: not exported", "platform/StatusNotifier.cpp", "    new MenuAdaptor(this);\n", ""),
    ("tray: a host naming the item by its connection ignored", "platform/StatusNotifier.cpp",
     "    if (id != service_ && connection != bus_.baseService())\n", "    if (id != service_)\n"),
    ("session end: the signal action left uninitialised", "platform/System.cpp",
     "    struct sigaction action {};", "    struct sigaction action;"),
    ("settings file: a dictionary iterated over two copies", "store/PlistFormat.cpp",
     "        for (auto it = map.cbegin(); it != map.cend(); ++it)",
     "        for (auto it = value.toMap().cbegin(); it != value.toMap().cend(); ++it)"),
    ("binary files: a long count taken as the marker's", "store/PlistFormat.cpp",
     "        if (*count != 0x0f)\n            return true;\n", "        return true;\n"),
    ("binary files: a byte read one past the end", "store/PlistFormat.cpp",
     "        if (at >= size_)\n            return false;\n        *out", "        if (at > size_)\n            return false;\n        *out"),
    ("settings file: a raw NUL let through", "store/PlistFormat.cpp",
     "    if (bytes.contains('\\0'))\n        return true;\n", ""),
    ("settings file: a NUL reference as the last bytes missed", "store/PlistFormat.cpp",
     "    const qsizetype n = bytes.size();\n    for (qsizetype at = bytes.indexOf(\"&#\")",
     "    const qsizetype n = bytes.size() - 1;\n    for (qsizetype at = bytes.indexOf(\"&#\")"),
    ("settings file: a reference without digits taken as NUL", "store/PlistFormat.cpp",
     "        const qsizetype digits = i;\n", "        const qsizetype digits = at;\n"),
    ("settings file: a reference needs no digit", "store/PlistFormat.cpp",
     "        if (i > digits && i < n && bytes[i] == ';')", "        if (i < n && bytes[i] == ';')"),
    ("logger: a held assertion still reported", "store/TavrelLogger.cpp",
     "    if (condition())\n        return;\n    std::fprintf", "    std::fprintf"),
    ("media tool: the name given as the address", "support/MediaInfoJson.cpp",
     'QJsonValue(info.urlName->toString())', 'QJsonValue(info.urlName->toString(QUrl::FullyEncoded))'),
    ("media: a length of zero taken as none", "support/TavrelUtils.cpp",
     "    if (!ms)\n        return {-1, false}; // no length to give", "    if (!ms || *ms == 0)\n        return {-1, false}; // no length to give"),
]

# Faults in code that no test ran before the coverage report led to tests
# for it: each of those tests is meant to catch one.
UNRUN = [
    ("folders: videos for movies taken as the desktop", "platform/Folders.cpp",
     "path = writable(QStandardPaths::MoviesLocation);", "path = writable(QStandardPaths::DesktopLocation);"),
    ("chooser: files shown beside folders", "platform/Dialogs.cpp", "        dialog.setOption(QFileDialog::ShowDirsOnly);\n", ""),
    ("questions: any answer taken as OK", "app/Helpers.cpp",
     "    return outcome.response == kAlertFirstButton;", "    return outcome.response >= kAlertFirstButton;"),
    ("about: the link not underlined", "app/Windows.cpp",
     '{QStringLiteral("underlineStyle"), 1, 0, length}', '{QStringLiteral("underlineStyle"), 0, 0, length}'),
    ("notices: a new column starts where the last one was", "platform/Notifier.cpp",
     "                right -= columnWidth + kGap;\n", ""),
    ("logger: an assertion logs its own place", "store/TavrelLogger.cpp",
     "    logMessage(message, LoggerLevels::Custom, where);", "    logMessage(message, LoggerLevels::Custom);"),
    ("requests: one of the form named fetched as MPEG", "app/Update.cpp",
     "update_.request(form, url, plan(), interactive);", "update_.request(update::Form::Mpeg, url, plan(), interactive);"),
    ("menu: opening it asks the host for a new layout", "platform/StatusNotifier.cpp",
     "    return false; // nothing changes just because the menu opens", "    return true;"),
    ("folders: one gone before the request told as a plain error", "app/UpdateCore.cpp",
     "QFileInfo::exists(folder) ? created.why() : folderGone(folder)", "created.why()"),
    ("media tool: the frame rate given as the frame count", "support/MediaInfoJson.cpp",
     '{"frameCount", double(info.frameCount)}', '{"frameCount", double(info.frameRate)}'),
]


# A tenth set, at random places (seed 20261208 over 3257 product lines that
# are neither a brace, a declaration nor a signature), each fault written
# before the first run.
TENTH = [
    ("windows: the Settings window held by a plain pointer", "app/AppDelegate.h",
     "    QPointer<QWidget> settingsWindow;\n", "    QWidget *settingsWindow = nullptr;\n"),
    ("names: an MXF request keeps a name ending .mpeg", "app/UpdateCore.cpp",
     "static const FormRules mxf{{QStringLiteral(\"mxf\")},",
     "static const FormRules mxf{{QStringLiteral(\"mxf\"), QStringLiteral(\"mpeg\")},"),
    ("start: closing the last window ends the app", "app/main.cpp",
     "    QApplication::setQuitOnLastWindowClosed(false);\n", ""),
    ("writes: the writer waits for a block even when closing", "platform/ClipWriter.cpp",
     "changed_.wait(lock, [this] { return !queue_.empty() || closing_; });",
     "changed_.wait(lock, [this] { return !queue_.empty(); });"),
    ("transfers: any TLS alert taken as the server's close", "platform/CurlHttpClient.cpp",
     "(where & SSL_CB_READ_ALERT) != SSL_CB_READ_ALERT || (alert & 0xff) != SSL3_AD_CLOSE_NOTIFY",
     "(where & SSL_CB_READ_ALERT) != SSL_CB_READ_ALERT"),
    ("sounds: the canberra context never destroyed", "platform/Dialogs.cpp",
     "    if (context_)\n        library_->destroy(context_);\n", ""),
    ("resources: the installed folder taken without its template", "platform/Folders.cpp",
     "if (QFileInfo(installed + QStringLiteral(\"/appSettings.plist\")).exists())",
     "if (QFileInfo(installed).exists())"),
    ("login: entries over 1 KiB passed over", "platform/LoginItems.cpp",
     "constexpr qint64 kLargestEntry = 1 << 20;", "constexpr qint64 kLargestEntry = 1 << 10;"),
    ("login: relative XDG_CONFIG_DIRS entries searched", "platform/Folders.cpp",
     "        if (QDir::isAbsolutePath(dir)) // a relative one would depend on where we were started\n            folders << dir;",
     "        folders << dir;"),
    ("media: the last packet's duration left out", "platform/MediaAsset.cpp",
     "last = std::max(last, start + seconds(std::max<std::int64_t>(packet->duration, 0), stream->time_base));",
     "last = std::max(last, start);"),
    ("notices: no fallback taken as one", "platform/Notifier.cpp",
     "    if (fallback_)\n        fallback_->post(title, body);", "    fallback_->post(title, body);"),
    ("results: a failure's reason lost", "platform/Result.h",
     "return *this ? QString() : std::get<1>(state_).why;", "return QString();"),
    ("sleep: the logind signal connected to a slot of another signature", "platform/SleepWatcher.cpp",
     "SLOT(prepareForSleep(bool))", "SLOT(prepareForSleep())"),
    ("tray: a plain click on the legacy icon opens nothing", "platform/StatusItem.cpp",
     "if (reason != QSystemTrayIcon::Trigger)", "if (reason != QSystemTrayIcon::DoubleClick)"),
    ("tray: the bus name kept after the item goes", "platform/StatusNotifier.cpp",
     "    if (bus_.isConnected())\n        bus_.unregisterService(service_);\n", ""),
    ("menu: a layout sent without its children", "platform/StatusNotifier.cpp",
     "    for (const QVariant &child : item.children)\n        out << child.value<QDBusVariant>();\n", ""),
    ("tray: the item says it is passive", "platform/StatusNotifier.h",
     "QString status() const { return QStringLiteral(\"Active\"); }",
     "QString status() const { return QStringLiteral(\"Passive\"); }"),
    ("tray: the item not a menu", "platform/StatusNotifier.h",
     "bool itemIsMenu() const { return true; }", "bool itemIsMenu() const { return false; }"),
    ("timers: armed without a period", "platform/Timers.cpp",
     "        spec.it_interval = toTimespec(interval_);\n", ""),
    ("timers: the descriptor never closed", "platform/Timers.cpp",
     "            ::close(fd_);\n            fd_ = -1;", "            fd_ = -1;"),
    ("settings: data read never freed", "store/PlistFormat.cpp",
     "        QByteArray value(data, qsizetype(length));\n        free(data);\n",
     "        QByteArray value(data, qsizetype(length));\n"),
    ("settings: a string list written as something else", "store/PlistFormat.cpp",
     "    case QMetaType::QVariantList:\n    case QMetaType::QStringList: {",
     "    case QMetaType::QVariantList: {"),
    ("settings: a binary file's offset size of zero accepted", "store/PlistFormat.cpp",
     "if (offsetSize_ < 1 || offsetSize_ > 8 || table_ > size_)", "if (offsetSize_ > 8 || table_ > size_)"),
    ("settings: an empty <dict/> counted as nesting", "store/PlistFormat.cpp",
     "else if (bytes[end - 1] != '/' && ++depth > kDeepestNesting)", "else if (++depth > kDeepestNesting)"),
    ("settings: a zero reference without its semicolon taken as NUL", "store/PlistFormat.cpp",
     "if (i > digits && i < n && bytes[i] == ';')", "if (i > digits && i < n)"),
]

# An eleventh set, at random places (seed 20261209 over 3021 product lines
# that are neither a brace, a declaration nor a signature; three plain
# declarations drawn were passed over), each fault written before the first run.
ELEVENTH = [
    ("transfers: the worker started before it knows its client", "platform/CurlHttpClient.cpp",
     "        worker_->client = this;\n        worker_->thread = std::thread([w = worker_.get()] { w->run(); });",
     "        worker_->thread = std::thread([w = worker_.get()] { w->run(); });\n        worker_->client = this;"),
    ("zones: Argentina's time an hour behind", "support/TavrelExtensions.cpp",
     '{QStringLiteral("ART"), -3 * hour}', '{QStringLiteral("ART"), -4 * hour}'),
    ("clip check: a check not prepared first", "platform/HttpClient.cpp",
     "    prepare();\n    const Result<Check> &loaded", "    const Result<Check> &loaded"),
    ("login: a TryExec that merely exists taken as a program", "platform/LoginItems.cpp",
     "tryExec && !findProgram(tryExec, G_FILE_TEST_IS_EXECUTABLE))", "tryExec && !findProgram(tryExec, G_FILE_TEST_EXISTS))"),
    ("tray: the icon's pixels sent in the host's byte order", "platform/StatusNotifier.cpp",
     "*out++ = qToBigEndian(line[x]);", "*out++ = line[x];"),
    ("transfers: a body cut without close_notify accepted", "platform/CurlHttpClient.cpp",
     '        result.error = QStringLiteral("The connection closed before the server said the body was complete");\n',
     ""),
    ("settings: a short binary container walked forever", "store/PlistFormat.cpp",
     "            frame.next = frame.count; // libplist refuses a short container\n", ""),
    ("settings: a date read with its closing tag", "store/PlistFormat.cpp",
     "xml.mid(start + 6, end - start - 6)", "xml.mid(start + 6, end - start)"),
    ("names: a parameter without a value swallows the next", "platform/DownloadNames.cpp",
     "        if (eq >= n || header[eq] == ';') {\n            i = eq;", "        if (eq >= n) {\n            i = eq;"),
    ("media tool: the file's name given as its folder", "support/MediaInfoJson.cpp",
     '{"urlPath", info.urlPath},', '{"urlPath", info.shortFileName},'),
    ("tooltip: the next update told at the present time", "app/AppDelegate.cpp",
     "TavrelExtensions::toShortTimeString(due->when));", "TavrelExtensions::toShortTimeString(now));"),
    ("media: a file without tracks given a length", "support/TavrelUtils.cpp",
     "    const auto asset = inspect(url, false);\n    if (!asset || asset->tracks.empty())\n        return {-1, false};\n    const auto ms",
     "    const auto asset = inspect(url, false);\n    if (!asset)\n        return {-1, false};\n    const auto ms"),
    ("writes: blocks still queued dropped when closing", "platform/ClipWriter.cpp",
     "            if (queue_.empty())\n                break;", "            if (closing_)\n                break;"),
    ("transfers: header names read from their first 16 bytes", "platform/CurlHttpClient.cpp",
     "line.left(40).toLower()", "line.left(16).toLower()"),
    ("windows: a window as large as the screen allows", "app/Windows.cpp",
     "        window->layout()->setSizeConstraint(QLayout::SetFixedSize);\n", ""),
    ("transfers: redirects to plain HTTP followed", "platform/CurlHttpClient.cpp",
     'CURLOPT_REDIR_PROTOCOLS_STR, "https"', 'CURLOPT_REDIR_PROTOCOLS_STR, "http,https"'),
    ("login: no login items read past the end", "login/osxLaunchAtStartup.cpp",
     "    if (snapshot.empty())\n        return {std::nullopt, platform::LoginItem{QString(), true}};\n", ""),
    ("media tool: run without files prints nothing", "support/mediainfo_main.cpp",
     "    if (argc < 2) {", "    if (argc < 1) {"),
]

# A twelfth set, at random places (seed 20261210 over 4546 product lines that
# are not a brace, a comment or an include; the plain declarations and
# signatures drawn, and one accessor, were passed over), each fault written
# before the first run.
TWELFTH = [
    ("media tool: the desktop's services never put in place", "support/mediainfo_main.cpp",
     "    platform::ServicesScope scope(services);\n", ""),
    ("logger: errors marked with the warning glyph", "store/TavrelLogger.h",
     'std::string errorGlyph = "\\U0001F6AB";', 'std::string errorGlyph = "\\U0001F514";'),
    ("resources: the program's own folder taken for the installed data", "platform/Folders.cpp",
     "        return installed;", "        return binDir.path();"),
    ("clip check: frames held back by the decoder never drained", "platform/ClipCheck.cpp",
     "    for (std::size_t stream = 0; stream < decoders.size(); ++stream)\n"
     "        if (decoders[stream] && feed(stream, nullptr))\n            return true;\n    return false;",
     "    return false;"),
    ("frames: the packet of a count never freed", "platform/MediaAsset.cpp",
     "    av_frame_free(&frame);\n    av_packet_free(&packet);\n    avcodec_free_context(&codec);\n    return frames;",
     "    av_frame_free(&frame);\n    avcodec_free_context(&codec);\n    return frames;"),
    ("login: an item outside the last snapshot never resolved", "platform/LoginItems.cpp",
     "known != programs_.end() ? known->second : desktopEntryProgram(read(item.id));",
     "known != programs_.end() ? known->second : std::nullopt;"),
    ("windows: centred over the panels", "app/Windows.cpp",
     "frame.moveCenter(screen->availableGeometry().center());", "frame.moveCenter(screen->geometry().center());"),
    ("media info: a length rounded to the nearest millisecond", "support/TavrelUtils.cpp",
     "    const auto ms = truncatedMs(asset->durationSeconds);\n    info.lengthInMs",
     "    const auto ms = truncatedMs(asset->durationSeconds + 0.0005);\n    info.lengthInMs"),
    ("settings: a real saved as a whole number", "store/PlistFormat.cpp",
     "    case QMetaType::UShort:\n        return plist_new_uint(uint64_t(value.toLongLong()));\n"
     "    case QMetaType::Double:\n    case QMetaType::Float:",
     "    case QMetaType::UShort:\n    case QMetaType::Double:\n"
     "        return plist_new_uint(uint64_t(value.toLongLong()));\n    case QMetaType::Float:"),
    ("video length: an unknown length given as 0 ms", "support/TavrelUtils.cpp",
     "    if (!ms)\n        return {-1, false}; // no length to give\n    return {*ms, true};",
     "    return {ms.value_or(0), true};"),
    ("settings: an unreadable settings file not told", "store/TavrelPlist.cpp",
     "intoDirectory))\n{\n    if (!pList)\n        tvLogger().logMessage(\"Unable to get Plist\");\n",
     "intoDirectory))\n{\n"),
    ("settings: nested arrays not counted as depth", "store/PlistFormat.cpp",
     'QByteArrayView(bytes).sliced(name).startsWith("array") ||\n                               ', ""),
    ("notices: a narrowed notice keeps its full height", "platform/Notifier.cpp",
     "const QSize narrow(width, popup->layout()->totalHeightForWidth(width));",
     "const QSize narrow(width, wanted.height());"),
    ("tray: only the smallest icon offered", "platform/StatusNotifier.cpp",
     "    return pixmaps;\n}\n\nQString withoutAccelerator", "    return pixmaps.mid(0, 1);\n}\n\nQString withoutAccelerator"),
    ("tray: a click on the icon does nothing", "app/AppDelegate.cpp",
     "    statusItem.setClickAction([this] { statusItemClicked(); });\n", ""),
    ("tray: a host that comes back never counted afresh", "platform/StatusNotifier.cpp",
     "            [this](const QString &, const QString &, const QString &owner) {\n"
     "                reRegistrations_ = 0;\n",
     "            [this](const QString &, const QString &, const QString &owner) {\n"),
    ("notices: the title no longer bold", "platform/Notifier.cpp", "        shown.setBold(bold);\n", ""),
    ("timers: a change of the clock not noticed", "platform/Timers.cpp",
     "TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &spec", "TFD_TIMER_ABSTIME, &spec"),
]

# A thirteenth set, drawn the same way (seed 20261211 over 4549 lines; the
# preprocessor lines, plain declarations and signatures drawn were passed
# over; where a drawn line holds nothing to get wrong, the fault is in the
# statement beside it), each fault written before the first run.
THIRTEENTH = [
    ("clip check: the first stream's held-back frames never drained", "platform/ClipCheck.cpp",
     "    for (std::size_t stream = 0; stream < decoders.size(); ++stream)\n        if (decoders[stream] && feed(",
     "    for (std::size_t stream = 1; stream < decoders.size(); ++stream)\n        if (decoders[stream] && feed("),
    ("outcomes: failures silent", "app/UpdateCore.h", "    bool sound = true;", "    bool sound = false;"),
    ("login: a system entry also switched off over the user's own", "platform/LoginItems.cpp",
     "        if (QFileInfo::exists(own))\n            return;\n        for (const QString &folder : systemFolders_) {",
     "        for (const QString &folder : systemFolders_) {"),
    ("login: hidden autostart entries not read", "platform/LoginItems.cpp",
     'dir.entryList({QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden)',
     'dir.entryList({QStringLiteral("*.desktop")}, QDir::Files)'),
    ("tray menu: every property sent as text", "platform/StatusNotifier.cpp",
     "    return QDBusVariant(value);\n}", "    return QDBusVariant(value.toString());\n}"),
    ("login: an empty list's insertion point not marked as the first", "login/osxLaunchAtStartup.cpp",
     "platform::LoginItem{QString(), true}", "platform::LoginItem{QString(), false}"),
    ("sound: the play function looked up under a wrong name", "platform/Dialogs.cpp",
     'dlsym(handle, "ca_context_play")', 'dlsym(handle, "ca_context_plays")'),
    ("sound: a context that failed to open kept after it was destroyed", "platform/Dialogs.cpp",
     "                library_->destroy(context_);\n                context_ = nullptr;\n",
     "                library_->destroy(context_);\n"),
    ("notices: placed over the panels", "platform/Notifier.cpp",
     "    const QRect area = screen->availableGeometry();\n    const std::vector<QWidget *> windows",
     "    const QRect area = screen->geometry();\n    const std::vector<QWidget *> windows"),
    ("clip check: frames of any shape counted as one run", "platform/ClipCheck.cpp",
     "frames = alike ? frames + 1 : 1;", "frames = frames + 1;"),
    ("settings: the settings file looked for in the documents folder", "store/TavrelPlist.cpp",
     "platform::services().folders->firstFolder(searchPathDirectory);\n    if (!base)\n        return std::nullopt;\n"
     "    const QString file",
     "platform::services().folders->firstFolder(platform::DirectoryKind::Documents);\n    if (!base)\n"
     "        return std::nullopt;\n    const QString file"),
    ("clip check: sound frames alike whatever their channels", "platform/ClipCheck.cpp",
     " && frame.sample_rate == rate &&\n                           frame.ch_layout.nb_channels == channels;",
     " && frame.sample_rate == rate;"),
    ("settings: a switch that is no number read as off", "app/SettingsRecord.cpp",
     "    if (!isNumber(value))\n        return defaultOf(key).toBool();", "    if (!isNumber(value))\n        return false;"),
    ("settings window: a field's text kept aside once its editor exists", "app/LazyWidgets.cpp",
     "    if (editor_)\n        editor_->setText(text);\n    else\n        text_ = text;", "    text_ = text;"),
    ("transfers: the HTTPS client never loaded", "platform/HttpClient.cpp",
     "Progress progress, Completion completion)\n{\n    load();\n", "Progress progress, Completion completion)\n{\n"),
    ("login: an autostart entry read whatever its size", "platform/LoginItems.cpp",
     "if (file.size() > kLargestEntry || !file.open(QIODevice::ReadOnly))", "if (!file.open(QIODevice::ReadOnly))"),
    ("transfers: a chunked body taken as unframed", "platform/CurlHttpClient.cpp",
     '    } else if (lower.startsWith("content-length:") ||\n'
     '               (lower.startsWith("transfer-encoding:") && line.toLower().contains("chunked"))) {',
     '    } else if (lower.startsWith("content-length:")) {'),
    ("clip check: decoders run on several threads", "platform/ClipCheck.cpp", "        codec->thread_count = 1;\n", ""),
]

# A fourteenth set, drawn the same way (seed 20261212 over 4974 lines; the
# plain declaration drawn was passed over, and where a drawn line holds
# nothing to get wrong the fault is in the statement beside it), each fault
# written before the first run.
FOURTEENTH = [
    ("tooltip: the first start's hint back after an update told its outcome", "app/AppDelegate.cpp",
     "    if (lastOutcome_.isEmpty() && textSetting(kUsername).isEmpty())",
     "    if (textSetting(kUsername).isEmpty())"),
    ("settings: a text setting of another type read as its text", "app/SettingsRecord.cpp",
     "    if (value.typeId() != QMetaType::QString)\n        return defaultOf(key).toString();\n", ""),
    ("outcomes: the success title spelt right", "app/UpdateCore.cpp",
     'r.title = QStringLiteral("File Succesfully Received");', 'r.title = QStringLiteral("File Successfully Received");'),
    ("tooltip: a 200 with an error summed up without saying it is one", "app/UpdateCore.cpp",
     'r.summary = QStringLiteral("Error: ") + *result.error;', "r.summary = *result.error;"),
    ("sleep: logind looked for on the session bus", "app/main.cpp",
     "platform::LogindSleepWatcher sleepWatcher(QDBusConnection::systemBus());",
     "platform::LogindSleepWatcher sleepWatcher(QDBusConnection::sessionBus());"),
    ("clip check: the decoder's end taken for an error", "platform/ClipCheck.cpp",
     "(got = avcodec_receive_frame(codec, frame.get())) != AVERROR(EAGAIN) && got != AVERROR_EOF;)",
     "(got = avcodec_receive_frame(codec, frame.get())) != AVERROR(EAGAIN);)"),
    ("sound: the app never names itself to the sound server", "platform/Dialogs.cpp",
     '            library_->changeProps(context_, CA_PROP_APPLICATION_NAME, "ZandorUpdate", CA_PROP_APPLICATION_ID,\n'
     '                                  "zandorupdate", nullptr);\n', ""),
    ("settings: kept under the app's own data folder", "platform/Folders.cpp",
     "        path = writable(QStandardPaths::GenericDataLocation);",
     "        path = writable(QStandardPaths::AppDataLocation);"),
    ("clip check: why the checker failed to load dropped", "platform/HttpClient.cpp",
     "Result<Check>(Failure{entry.why()})", "Result<Check>(Failure{})"),
    ("login: a dollar sign in the program's path not escaped", "platform/LoginItems.cpp",
     "if (c == '\"' || c == '`' || c == '$' || c == '\\\\')", "if (c == '\"' || c == '`' || c == '\\\\')"),
    ("login: the entry written without TryExec", "platform/LoginItems.cpp",
     '"\\nTryExec=" + keyFileValue(program.toUtf8()) +\n           "\\n"', '"\\n"'),
    ("login: the user's own entry compared by path as written", "platform/LoginItems.cpp",
     "if (!entryProgram || canonical(*entryProgram) != target)", "if (!entryProgram || *entryProgram != target)"),
    ("media: the last packet's own length left out", "platform/MediaAsset.cpp",
     "last = std::max(last, start + seconds(std::max<std::int64_t>(packet->duration, 0), stream->time_base));",
     "last = std::max(last, start);"),
    ("notices: the oldest placed first", "platform/Notifier.cpp",
     "for (auto it = popups_.rbegin(); it != popups_.rend(); ++it) {",
     "for (auto it = popups_.begin(); it != popups_.end(); ++it) {"),
    ("log: warnings kept out of the system log", "platform/Output.cpp",
     "    if (level != Level::Info)\n        systemLogLine", "    if (level == Level::Error)\n        systemLogLine"),
    ("tray menu: the root not said to hold a submenu", "platform/StatusNotifier.cpp",
     '        return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};', "        return {};"),
    ("settings: a dictionary with an unreadable value read in part", "store/PlistFormat.cpp",
     "            free(key);\n            if (!item) {\n                ok = false;\n                break;\n            }\n",
     "            free(key);\n"),
    ("settings: a long saved as text", "store/PlistFormat.cpp",
     "    case QMetaType::UInt:\n    case QMetaType::Long:\n", "    case QMetaType::UInt:\n"),
]


# A fifteenth set, drawn the same way (seed 20261213 over 4843 lines; the
# three plain declarations drawn were passed over; where a drawn line holds
# nothing to get wrong, the fault is in the statement beside it), each fault
# written before the first run.
FIFTEENTH = [
    ("tray: the no-tray notice posted before the Settings window it must sit clear of", "app/AppDelegate.cpp",
     "    startSettingsWindow(); // first, so that the notice is placed clear of it\n"
     "    showNotification(QStringLiteral(\"ZandorUpdate is running\"),",
     "    showNotification(QStringLiteral(\"ZandorUpdate is running\"),"),
    ("due time: a negative count of minutes lands a day late", "app/DueTime.cpp",
     "        rest += kMinutesPerDay;\n        --days;\n", "        rest += kMinutesPerDay;\n"),
    ("settings window: a section's new title never drawn", "app/LazyWidgets.cpp",
     "    title_ = title;\n    update();\n", "    title_ = title;\n"),
    ("keyboard: a control that takes no focus left so", "app/LazyWidgets.cpp",
     "if (target->focusPolicy() == Qt::NoFocus)", "if (target->focusPolicy() != Qt::NoFocus)"),
    ("about: the author's label never given its text", "app/MainInterface.cpp",
     "    delegate.lblAuthor = aboutUi_->lblAuthor;\n", ""),
    ("request: the user name not sent", "app/UpdateCore.cpp", "    request.user = plan.username;\n", ""),
    ("windows: sized before the style is applied", "app/Windows.cpp", "    window->ensurePolished();\n", ""),
    ("login: switched off by toggling whether or not the entry is there", "app/Windows.cpp",
     "    else if (!wanted && applicationIsInStartUpItems())", "    else if (!wanted)"),
    ("transfers: the worker thread started before its multi handle is made", "platform/CurlHttpClient.cpp",
     "        worker_->multi = curl_multi_init();\n        worker_->client = this;\n"
     "        worker_->thread = std::thread([w = worker_.get()] { w->run(); });\n",
     "        worker_->thread = std::thread([w = worker_.get()] { w->run(); });\n"
     "        worker_->multi = curl_multi_init();\n        worker_->client = this;\n"),
    ("progress: the request's progress handler dropped", "platform/CurlHttpClient.cpp",
     "    transfer->progress = std::move(progress);\n", ""),
    ("modules: only the first folder tried", "platform/HttpClient.cpp",
     "            errors << QString::fromLocal8Bit(dlerror());\n            continue;",
     "            errors << QString::fromLocal8Bit(dlerror());\n            break;"),
    ("login: the entry named unlike the app's desktop-file ID", "platform/LoginItems.cpp",
     'kEntryName = QStringLiteral("zandorupdate.desktop")', 'kEntryName = QStringLiteral("ZandorUpdate.desktop")'),
    ("login: an entry taken as resolved until shown otherwise", "platform/LoginItems.h",
     "    bool resolved = false;         // false", "    bool resolved = true;          // false"),
    ("notices: the capabilities waited for as long as D-Bus's default", "platform/Notifier.cpp",
     '(QStringLiteral("GetCapabilities")), kCapabilitiesWaitMs)', '(QStringLiteral("GetCapabilities")))'),
    ("notices: our own notice takes the focus", "platform/Notifier.cpp",
     "    popup->setAttribute(Qt::WA_ShowWithoutActivating);\n", ""),
    ("notices: as tall as unwrapped text", "platform/Notifier.cpp",
     "return {width, popup->layout()->totalHeightForWidth(width)};",
     "return {width, popup->layout()->sizeHint().height()};"),
    ("settings: data cut at its first NUL byte", "store/PlistFormat.cpp",
     "QByteArray value(data, qsizetype(length));", "QByteArray value(data);"),
    ("settings: a short write of the file taken for the whole", "store/TavrelPlist.cpp",
     "        done += n;\n    }\n    return true;", "        done += n;\n        break;\n    }\n    return true;"),
    ("settings: a folder that could not be made used all the same", "store/TavrelPlist.cpp",
     "            services.systemLog->write(errno ? errnoText() : QStringLiteral(\"Could not create %1\").arg(folder));\n"
     "            return std::nullopt;\n",
     "            services.systemLog->write(errno ? errnoText() : QStringLiteral(\"Could not create %1\").arg(folder));\n"),
]


# A sixteenth set, drawn the same way (seed 20261214 over 4843 lines; the
# four plain declarations and the using-declaration drawn were passed over;
# where a drawn line holds nothing to get wrong, the fault is in the
# statement beside it), each fault written before the first run.
SIXTEENTH = [
    ("command line: a stray argument accepted", "app/CommandLine.cpp",
     "if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {", "if (!parser.parse(arguments)) {"),
    ("due time: a half-hour clock change not seen", "app/DueTime.cpp",
     "for (const int earlier : {3600, 1800}) {", "for (const int earlier : {3600}) {"),
    ("about: the view's load never told", "app/MainInterface.cpp", "    aboutViewController_->viewDidLoad();\n", ""),
    ("outcomes: the folder that went away not named", "app/UpdateCore.cpp",
     'return QStringLiteral("The download folder went away during the download: ") + folder;',
     'return QStringLiteral("The download folder went away during the download");'),
    ("settings: OK does not re-arm the timer", "app/Windows.cpp",
     "    writeToPlist();\n    readFromPlist();\n    startTimer();\n", "    writeToPlist();\n    readFromPlist();\n"),
    ("writes: a reused block keeps its old length", "platform/ClipWriter.cpp",
     "        spare_.pop_back();\n        filling_.size = 0;\n", "        spare_.pop_back();\n"),
    ("writes: the reader never says a block was taken", "platform/ClipWriter.cpp",
     "            queue_.pop_front();\n            changed_.notify_all();\n", "            queue_.pop_front();\n"),
    ("names: a Content-Disposition without a space loses its first letter", "platform/CurlHttpClient.cpp",
     "t.contentDisposition = line.mid(20).trimmed();", "t.contentDisposition = line.mid(21).trimmed();"),
    ("names: a Latin-1 filename* read as UTF-8", "platform/DownloadNames.cpp",
     "        return QString::fromLatin1(decoded);", "        return QString::fromUtf8(decoded);"),
    ("login: the later system folders win over the earlier", "platform/LoginItems.cpp",
     "for (auto folder = systemFolders_.crbegin(); folder != systemFolders_.crend(); ++folder)",
     "for (auto folder = systemFolders_.cbegin(); folder != systemFolders_.cend(); ++folder)"),
    ("login: a system entry taken for the user's own by its name", "platform/LoginItems.cpp",
     "        if (item.id == own) {", "        if (item.id.endsWith(name)) {"),
    ("notices: the text drawn in the colour of an input field's text", "platform/Notifier.cpp",
     "        context.palette.setColor(QPalette::Text, palette().color(QPalette::WindowText));\n", ""),
    ("tray: the watcher looked for under the freedesktop name", "platform/StatusNotifier.cpp",
     'const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");',
     'const QString kWatcher = QStringLiteral("org.freedesktop.StatusNotifierWatcher");'),
    ("settings: saved readable by the group", "store/TavrelPlist.cpp",
     "platform::writeDurably(target, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner)",
     "platform::writeDurably(target, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup)"),
    ("listing: files counted as subfolders", "support/TavrelExtensions.cpp",
     "        if (isDirectory(entry))\n            folders.push_back(entry);", "        folders.push_back(entry);"),
    ("dates: CET read as London's time", "support/TavrelExtensions.cpp",
     '{QStringLiteral("CET"), "Europe/Paris"},', '{QStringLiteral("CET"), "Europe/London"},'),
    ("media: a duration too far below zero converted all the same", "support/TavrelUtils.cpp",
     "if (!std::isfinite(ms) || ms >= 9.2e18 || ms <= -9.2e18)", "if (!std::isfinite(ms) || ms >= 9.2e18)"),
]


# A seventeenth set, drawn the same way (seed 20261215 over 4932 lines; the
# three plain declarations drawn were passed over; where a drawn line holds
# nothing to get wrong, the fault is in the statement beside it), each fault
# written before the first run.
SEVENTEENTH = [
    ("notices: taken as placeable on Wayland too", "platform/Notifier.cpp",
     'placeable_(placeable.value_or(!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))))',
     "placeable_(placeable.value_or(true))"),
    ("settings window: a switch shown on only for exactly 1", "app/Windows.cpp",
     "(this->**box)->setChecked(switchSetting(field->key));",
     '(this->**box)->setChecked(textSetting(field->key) == QLatin1String("1"));'),
    ("settings: a dictionary with an unreadable item kept in part", "store/PlistFormat.cpp",
     "        free(it);\n        if (!ok)\n            return std::nullopt;\n", "        free(it);\n"),
    ("folders: the documents folder taken as home", "platform/Folders.cpp",
     "path = writable(QStandardPaths::DocumentsLocation);", "path = writable(QStandardPaths::HomeLocation);"),
    ("settings: the parsed root left uninitialised", "store/PlistFormat.cpp",
     "    plist_t raw = nullptr;\n", "    plist_t raw;\n"),
    ("media: each packet's data kept", "platform/MediaAsset.cpp",
     "        }\n        av_packet_unref(packet);\n    }\n    av_packet_free(&packet);\n    return last > first",
     "        }\n    }\n    av_packet_free(&packet);\n    return last > first"),
    ("settings: a place for a file without a template", "store/TavrelPlist.cpp",
     "    if (!sourcePath())\n        return std::nullopt;\n", ""),
    ("login: the list that would not open read all the same", "login/osxLaunchAtStartup.cpp",
     "    if (!list)\n        return {};\n    const std::vector<platform::LoginItem> snapshot",
     "    const std::vector<platform::LoginItem> snapshot"),
    ("chooser: the folder chooser untitled", "platform/Dialogs.cpp", "    dialog.setWindowTitle(options.title);\n", ""),
    ("menu: Update Now opens the settings", "app/MainInterface.cpp", "[&delegate] { delegate.mnuUpdateNow(); }",
     "[&delegate] { delegate.startSettingsWindow(); }"),
    ("durability: a saved file's folder not flushed", "platform/DurableFile.cpp",
     "    syncFolder(QFileInfo(finalPath(path)).absolutePath());\n", ""),
    ("forms: a transport stream refused as MPEG", "app/UpdateCore.cpp",
     '{QStringLiteral("mpeg"), QStringLiteral("mpegts"), QStringLiteral("mpegvideo")}',
     '{QStringLiteral("mpeg"), QStringLiteral("mpegvideo")}'),
    ("settings: a failed template copy logged as progress", "store/TavrelPlist.cpp",
     'printLine(QStringLiteral("Unable to copy file. ERROR: ") + error, Level::Error);',
     'printLine(QStringLiteral("Unable to copy file. ERROR: ") + error);'),
    ("clip check: an unprepared check not loading its module", "platform/HttpClient.cpp",
     "    prepare();\n    const Result<Check> &loaded", "    const Result<Check> &loaded"),
    ("dialogs: OK and Cancel swapped", "app/Helpers.cpp",
     'AlertSpec{question, text, {QStringLiteral("OK"), QStringLiteral("Cancel")}, {}}',
     'AlertSpec{question, text, {QStringLiteral("Cancel"), QStringLiteral("OK")}, {}}'),
    ("names: an empty name taken as safe", "platform/DownloadNames.cpp",
     'if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))',
     'if (name == QLatin1String(".") || name == QLatin1String(".."))'),
    ("media info: metadata entries keep only their last key", "support/MediaInfoJson.cpp",
     "            entry.insert(key, value);\n", "            entry = QJsonObject{{key, value}};\n"),
    ("settings: a copy that cannot be made says no why", "store/TavrelPlist.cpp",
     "    if (fd < 0) {\n        *error = errnoText();\n", "    if (fd < 0) {\n"),
    ("listing: names read as Latin-1", "support/TavrelUtils.cpp",
     "        entries.push_back(QUrl::fromLocalFile(QFile::decodeName(it->path().c_str())));",
     "        entries.push_back(QUrl::fromLocalFile(QString::fromLatin1(it->path().c_str())));"),
]

# An eighteenth set, drawn the same way (seed 20261216 over 4794 lines; the
# two plain declarations drawn were passed over, and two more lines drawn in
# their place; where a drawn line holds nothing to get wrong, the fault is in
# the statement beside it), each fault written before the first run.
EIGHTEENTH = [
    ("command line: the first argument skipped as the program's name", "app/CommandLine.cpp",
     "if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {",
     "if (!parser.parse(arguments.mid(1)) || !parser.positionalArguments().isEmpty()) {"),
    ("accessibility: sections and windows never given their roles", "app/LazyWidgets.cpp",
     "static const bool given = (QAccessible::installFactory(roleOf), true);", "static const bool given = true;"),
    ("settings window: the rows left in the table's order", "app/SettingsRecord.cpp",
     "    std::sort(bound.begin(), bound.end(), [](const Field *a, const Field *b) { return a->row < b->row; });\n", ""),
    ("writes: a long write repeats its first block", "platform/ClipWriter.cpp", "        data += n;\n", ""),
    ("transfers: a new one waits for the worker's next wake", "platform/CurlHttpClient.cpp",
     "        w.incoming.push_back(std::move(transfer));\n    }\n    curl_multi_wakeup(w.multi);\n",
     "        w.incoming.push_back(std::move(transfer));\n    }\n"),
    ("names: a name that is no clip's taken", "platform/DownloadNames.cpp",
     "if (isSafeFileName(candidate) && isClip(candidate))", "if (isSafeFileName(candidate))"),
    ("login: the administrator's entry read before the user's", "platform/LoginItems.cpp",
     "for (const QString &folder : QStringList{folder_} + systemFolders_) {",
     "for (const QString &folder : systemFolders_ + QStringList{folder_}) {"),
    ("login: the desktop read from DESKTOP_SESSION", "platform/LoginItems.cpp",
     'QString::fromLocal8Bit(qgetenv("XDG_CURRENT_DESKTOP"))', 'QString::fromLocal8Bit(qgetenv("DESKTOP_SESSION"))'),
    ("tray: the re-registration count kept when the watcher changes", "platform/StatusNotifier.cpp",
     "                reRegistrations_ = 0;\n", ""),
    ("tray: Activate answered as done where the menu cannot be placed", "platform/StatusNotifier.h",
     "        if (!item_->popUpMenu(x, y))\n            item_->refuse(call, QDBusError::NotSupported, QStringLiteral(\"The item is its menu\"));",
     "        item_->popUpMenu(x, y);\n        (void)call;"),
    ("settings: a real read as a whole number", "store/PlistFormat.cpp",
     "        plist_get_real_val(node, &value);\n        return QVariant(value);",
     "        plist_get_real_val(node, &value);\n        return QVariant(qint64(value));"),
    ("settings: dictionary keys written as Latin-1", "store/PlistFormat.cpp",
     "plist_dict_set_item(dict, it.key().toUtf8().constData(), fromVariant(it.value()));",
     "plist_dict_set_item(dict, it.key().toLatin1().constData(), fromVariant(it.value()));"),
    ("settings: a UTF-16 file's byte-order mark kept", "store/PlistFormat.cpp",
     "    if (text.startsWith(QChar(0xFEFF)))\n        text.remove(0, 1);\n", ""),
    ("logger: custom lines shown with the info glyph", "store/TavrelLogger.cpp",
     "        return customGlyph + ' ';", "        return infoGlyph + ' ';"),
    ("settings: a property list that cannot be had, in a chosen folder, said nothing of", "store/TavrelPlist.cpp",
     "    : pList(Plist::make(pListFileName, intoDirectory))\n{\n    if (!pList)\n        tvLogger().logMessage(\"Unable to get Plist\");\n",
     "    : pList(Plist::make(pListFileName, intoDirectory))\n{\n"),
    ("dates: BRT read east of Greenwich", "support/TavrelExtensions.cpp",
     '{QStringLiteral("BRT"), -3 * hour}', '{QStringLiteral("BRT"), 3 * hour}'),
    ("media info: metadata keys and values swapped", "support/TavrelUtils.cpp",
     "info.commonMetaData.push_back({{key, value}});", "info.commonMetaData.push_back({{value, key}});"),
    ("media: a file with no tracks given a length", "support/TavrelUtils.cpp",
     "    const auto asset = inspect(url, false);\n    if (!asset || asset->tracks.empty())\n        return {-1, false};\n    const auto ms",
     "    const auto asset = inspect(url, false);\n    if (!asset)\n        return {-1, false};\n    const auto ms"),
    ("tray: the icon's name given as its title", "platform/StatusNotifier.h",
     "Q_PROPERTY(QString IconName READ iconName)", "Q_PROPERTY(QString IconName READ title)"),
]


# A nineteenth set, drawn the same way (seed 20261217 over 4794 lines; the
# four plain declarations drawn were passed over, and four more lines drawn
# in their place; where a drawn line holds nothing to get wrong, the fault is
# in the statement beside it), each fault written before the first run.
NINETEENTH = [
    ("command line: Qt's options with a value shown in the help", "app/CommandLine.cpp",
     'QStringLiteral("value"));\n        option.setFlags(QCommandLineOption::HiddenFromHelp);\n',
     'QStringLiteral("value"));\n'),
    ("minutes: read into an int", "app/DueTime.cpp", "    qint64 value = 0;\n", "    int value = 0;\n"),
    ("reading order: the last control left out", "app/LazyWidgets.cpp",
     "    order_ = controls;\n", "    order_ = controls.mid(0, controls.size() - 1);\n"),
    ("names: the folder button named as its label", "app/MainInterface.cpp",
     '{ui.btnChooseFolder, QStringLiteral("Choose download folder"),',
     '{ui.btnChooseFolder, QStringLiteral("Download folder"),'),
    ("plan: the MXF address read from the MPEG setting", "app/Update.cpp",
     "p.mxfUrl = textSetting(kMxfUrl);", "p.mxfUrl = textSetting(kMpgUrl);"),
    ("windows: centred again at every showing", "app/Windows.cpp",
     '        window->setProperty("zu_placed", true);\n', ""),
    ("timer double: a timer made invalid", "platform/Doubles.h", "        bool valid = true;\n",
     "        bool valid = false;\n"),
    ("login: a backslash in Exec not escaped", "platform/LoginItems.cpp",
     "if (c == '\"' || c == '`' || c == '$' || c == '\\\\')", "if (c == '\"' || c == '`' || c == '$')"),
    ("media: the rotation's sign", "platform/MediaAsset.cpp",
     "return -av_display_rotation_get(", "return av_display_rotation_get("),
    ("media: the input freed but not closed", "platform/MediaAsset.cpp",
     "~Closer() { avformat_close_input(format); }", "~Closer() { avformat_free_context(*format); }"),
    ("tray: a late XEmbed icon made without the image", "platform/StatusItem.cpp",
     "    xembed_->setIcon(image_);\n", ""),
    ("tray: a new image not given to the XEmbed icon", "platform/StatusItem.cpp",
     "        xembed_->setIcon(image);\n", ""),
    ("tray: the tooltip not given to the XEmbed icon", "platform/StatusItem.cpp",
     "    if (xembed_)\n        xembed_->setToolTip(text);\n", ""),
    ("timers: on the monotonic clock", "platform/Timers.cpp",
     "timerfd_create(CLOCK_REALTIME,", "timerfd_create(CLOCK_MONOTONIC,"),
    ("property lists: closing tags not counted in the nesting", "store/PlistFormat.cpp",
     "        if (closing)\n            --depth;\n        else if (bytes[end - 1] != '/'",
     "        if (!closing && bytes[end - 1] != '/'"),
    ("logger: errors with the warning glyph", "store/TavrelLogger.cpp",
     "        return errorGlyph + ' ';", "        return warningGlyph + ' ';"),
    ("logger: the message not repeated after the place", "store/TavrelLogger.cpp",
     '    text += "] ";\n    text += message;\n', '    text += "] ";\n'),
    ("media JSON: urlName as a local path", "support/MediaInfoJson.cpp",
     "QJsonValue(info.urlName->toString())", "QJsonValue(info.urlName->toLocalFile())"),
    ("deleting: a missing file taken as deleted", "support/TavrelUtils.cpp",
     "    if (error) {\n        printLine(QStringLiteral(\"Ooops! Something went wrong: \") + describe(error, url));",
     "    if (error && error != std::errc::no_such_file_or_directory) {\n        printLine(QStringLiteral(\"Ooops! Something went wrong: \") + describe(error, url));"),
]

# A twentieth set, drawn the same way (seed 20261218 over 4794 lines; the
# four plain declarations drawn were passed over, and four more lines drawn
# in their place, two of them declarations passed over too; where a drawn
# line holds nothing to get wrong, the fault is in the statement beside it),
# each fault written before the first run.
TWENTIETH = [
    ("minutes: spaces around the number taken", "app/AppDelegate.cpp",
     "const auto minutes = due::parseMinutes(minutesText);", "const auto minutes = due::parseMinutes(minutesText.trimmed());"),
    ("warm-up: only when the firing is near", "app/AppDelegate.cpp",
     "lead > kWarmUpAtLeastMs)", "lead < kWarmUpAtLeastMs)"),
    ("help: the program and its description swapped", "app/CommandLine.cpp",
     ".arg(program, parser.applicationDescription()));", ".arg(parser.applicationDescription(), program));"),
    ("start: launched before the event loop runs", "app/main.cpp",
     "    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });\n",
     "    delegate.applicationDidFinishLaunching();\n"),
    ("clip check: a decoded frame judged again by the drain", "platform/ClipCheck.cpp",
     "        if (decoded)\n            return true;\n", "        if (decoded)\n            break;\n"),
    ("transfers: deliveries queued without the lock", "platform/CurlHttpClient.cpp",
     "        std::lock_guard lock(deliveriesMutex_);\n        deliveries_.push_back(std::move(call));\n",
     "        deliveries_.push_back(std::move(call));\n"),
    ("durability: only the first link followed", "platform/DurableFile.cpp",
     "depth < 128 && info.isSymLink()", "depth < 1 && info.isSymLink()"),
    ("folders: music falls through to pictures", "platform/Folders.cpp",
     "path = writable(QStandardPaths::MusicLocation);\n        break;\n",
     "path = writable(QStandardPaths::MusicLocation);\n"),
    ("clip check: the module's file name without its prefix", "platform/HttpClient.cpp",
     'QStringLiteral("libzandorupdate-clipcheck.so")', 'QStringLiteral("zandorupdate-clipcheck.so")'),
    ("login: a path that does not resolve kept as it is", "platform/LoginItems.cpp",
     "return resolved.isEmpty() ? QString() : resolved;", "return resolved.isEmpty() ? path : resolved;"),
    ("tray: the image engine names no sizes", "platform/StatusItem.cpp",
     "            sizes << QSize(side, side);\n        return sizes;\n", "            sizes << QSize(side, side);\n        return {};\n"),
    ("tray: Qt's icon kept beside a registered item", "platform/StatusItem.cpp",
     "        if (xembed_)\n            xembed_->hide(); // one icon, not two, on panels that take both\n", ""),
    ("tray: the item's name not given back", "platform/StatusNotifier.cpp",
     "    if (bus_.isConnected())\n        bus_.unregisterService(service_);\n", ""),
    ("signals: the handler's settings left uninitialised", "platform/System.cpp",
     "    struct sigaction action {};\n", "    struct sigaction action;\n"),
    ("property lists: a UID cut to 32 bits", "store/PlistFormat.cpp",
     "return QVariant(qint64(value));\n    }\n    case PLIST_ARRAY", "return QVariant(int(value));\n    }\n    case PLIST_ARRAY"),
    ("property lists: UTF-16 text read a byte a character", "store/PlistFormat.cpp",
     "plist.byteAt(start + c * unit, &low);", "plist.byteAt(start + c, &low);"),
    ("size: sine and cosine swapped", "support/TavrelUtils.cpp",
     "const double c = std::cos(radians), s = std::sin(radians);",
     "const double c = std::sin(radians), s = std::cos(radians);"),
    ("login: comments dropped when an entry is switched", "platform/LoginItems.cpp",
     "GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS)", "GKeyFileFlags(G_KEY_FILE_KEEP_TRANSLATIONS)"),
    ("tray: the freedesktop name asked for the watcher", "platform/StatusNotifier.cpp",
     'QStringLiteral("org.kde.StatusNotifierWatcher")', 'QStringLiteral("org.freedesktop.StatusNotifierWatcher")'),
]


# A twenty-first set, drawn the same way (seed 20261219 over 4794 lines; the
# four plain declarations drawn, a namespace's closing brace among them, were
# passed over, and the next lines drawn that were no declaration nor a test
# double's used in their place; where a drawn line holds nothing to get
# wrong, the fault is in the statement beside it), each fault written before
# the first run.
TWENTYFIRST = [
    ("writer: one block waits, not two", "platform/ClipWriter.cpp",
     "kQueuedBlocks = 2;", "kQueuedBlocks = 1;"),
    ("transfers: a redirect's file name kept for the next response", "platform/CurlHttpClient.cpp",
     "        t.contentDisposition.clear();\n", ""),
    ("transfers: the TLS context not told its transfer", "platform/CurlHttpClient.cpp",
     "    SSL_CTX_set_ex_data(static_cast<SSL_CTX *>(context), transferIndex(), user);\n", ""),
    ("module: no client made", "platform/CurlHttpClient.cpp",
     "    return new platform::CurlHttpClient;\n", "    return nullptr;\n"),
    ("module: why the entry point is missing not kept", "platform/HttpClient.cpp",
     "            return found;\n        errors << QString::fromLocal8Bit(dlerror());\n", "            return found;\n"),
    ("media: rewound to time zero, not the first packet's", "platform/MediaAsset.cpp",
     "const std::int64_t start = format->start_time != AV_NOPTS_VALUE ? format->start_time : 0;",
     "const std::int64_t start = 0;"),
    ("notifications: still asking after the answer came", "platform/Notifier.cpp",
     "        asking_ = false;\n", ""),
    ("tray: the item's registration not followed", "platform/StatusItem.cpp",
     "    QObject::connect(notifier_.get(), &StatusNotifier::registrationChanged, notifier_.get(),\n"
     "                     [this](bool registered) { hostChanged(registered); });\n", ""),
    ("property lists: a date written with the month for its minutes", "store/PlistFormat.cpp",
     'QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")', 'QStringLiteral("yyyy-MM-ddTHH:MM:ssZ")'),
    ("property lists: a root that is no dictionary read as an empty one", "store/PlistFormat.cpp",
     "if (!root || plist_get_node_type(root.get()) != PLIST_DICT)", "if (!root)"),
    ("store: the error's number said, not its text", "store/TavrelPlist.cpp",
     "return QString::fromLocal8Bit(std::strerror(errno));", "return QString::number(errno);"),
    ("store: one trailing slash dropped, not all", "store/TavrelPlist.cpp",
     "while (path.endsWith(QLatin1Char('/')) && path.size() > 1)",
     "if (path.endsWith(QLatin1Char('/')) && path.size() > 1)"),
    ("store: a missing file in a named folder not logged", "store/TavrelPlist.cpp",
     "    : pList(Plist::make(pListFileName, intoDirectory))\n{\n    if (!pList)\n"
     "        tvLogger().logMessage(\"Unable to get Plist\");\n",
     "    : pList(Plist::make(pListFileName, intoDirectory))\n{\n"),
    ("folder chooser: folders not choosable", "support/TavrelExtensions.cpp",
     "options.canChooseDirectories = true;", "options.canChooseDirectories = false;"),
    ("file types: a pipe taken for a socket", "support/TavrelUtils.cpp",
     "    if (S_ISSOCK(mode))\n", "    if (S_ISFIFO(mode))\n"),
    ("login: every folder's entry looked for in the user's", "platform/LoginItems.cpp",
     "const QString path = QDir(folder).filePath(name);", "const QString path = QDir(folder_).filePath(name);"),
    ("popups: the next one placed on the last row of the one above", "platform/Notifier.cpp",
     "                y = covered->bottom() + 1;\n", "                y = covered->bottom();\n"),
    ("About: the link's last character left out", "app/Windows.cpp",
     "const qsizetype length = text.size();", "const qsizetype length = text.size() - 1;"),
    ("property lists: a loop in a binary file not refused", "store/PlistFormat.cpp",
     "        if (state[object] == Open)\n            return false; // a loop\n",
     "        if (state[object] == Open)\n            return true; // a loop\n"),
]


# A twenty-second set, drawn the same way (seed 20261220 over 4852 lines; the
# eleven plain declarations drawn, member defaults and a constant among them,
# were passed over for the next lines drawn; where a drawn line holds
# nothing to get wrong, the fault is in the statement beside it), each fault
# written before the first run.
TWENTYSECOND = [
    ("store: a change to a closed store not refused", "store/TavrelPlist.cpp",
     "{\n    if (!pList)\n        return false;\n    QVariantMap root = getMutItems();",
     "{\n    QVariantMap root = getMutItems();"),
    ("outcomes: a 401 counted as any failure", "app/UpdateCore.cpp",
     "        r.status = Status::Unauthorized;\n", "        r.status = Status::Failed;\n"),
    ("zones: AST read as Arabia's", "support/TavrelExtensions.cpp",
     '{QStringLiteral("AST"), "America/Halifax"},', '{QStringLiteral("AST"), "Asia/Riyadh"},'),
    ("login: a path that leads nowhere kept as it is", "platform/LoginItems.cpp",
     "return resolved.isEmpty() ? QString() : resolved;", "return resolved.isEmpty() ? path : resolved;"),
    ("notifications: our sound played over the server's", "platform/Notifier.cpp",
     "    else if (playSound_)\n        playSound_();\n", "    if (playSound_)\n        playSound_();\n"),
    ("due time: a minutes text that is no number said as any number", "app/AppDelegate.cpp",
     "is not a whole number: ", "is not a number: "),
    ("writer: the flusher told to stop outside the lock", "platform/ClipWriter.cpp",
     "        {\n            std::lock_guard lock(mutex_);\n            stopping_ = true;\n        }\n",
     "        stopping_ = true;\n"),
    ("login: the place before the first entry resolved as an entry", "platform/LoginItems.cpp",
     "        if (item.beforeFirst)\n            return {};\n", ""),
    ("property lists: a UID read as zero", "store/PlistFormat.cpp",
     "        plist_get_uid_val(node, &value);\n", ""),
    ("file names: a control character ends the check as good", "platform/DownloadNames.cpp",
     "c.unicode() == 0x7f)\n            return false;", "c.unicode() == 0x7f)\n            break;"),
    ("writer: written pages kept in the page cache", "platform/ClipWriter.cpp",
     "                posix_fadvise(fd_, previousWindow, windowStart - previousWindow, POSIX_FADV_DONTNEED);\n", ""),
    ("binary lists: an offset past the end taken", "store/PlistFormat.cpp",
     "!readInt(table_ + i * uint64_t(offsetSize_), offsetSize_, &at) || at >= size_)",
     "!readInt(table_ + i * uint64_t(offsetSize_), offsetSize_, &at))"),
    ("file names: a UTF-8 name only when spelt utf8", "platform/DownloadNames.cpp",
     'if (charset == "utf-8")', 'if (charset == "utf8")'),
    ("notifications: the icon named by its path, not its URL", "app/main.cpp",
     "iconFile ? QUrl::fromLocalFile(*iconFile).toString() :", "iconFile ? *iconFile :"),
    ("folder chooser: files choosable too", "support/TavrelExtensions.cpp",
     "options.canChooseFiles = false;", "options.canChooseFiles = true;"),
    ("login: the first entry taken for the last", "login/osxLaunchAtStartup.cpp",
     "const platform::LoginItem last = snapshot.back();", "const platform::LoginItem last = snapshot.front();"),
    ("file names: what follows a quoted value not skipped", "platform/DownloadNames.cpp",
     "            while (j < n && header[j] != ';')\n                ++j;\n        } else {",
     "        } else {"),
    ("property lists: every tag counted as a level", "store/PlistFormat.cpp",
     "        if (!container)\n            continue;\n", ""),
    ("About: the icon without a name", "app/MainInterface.cpp",
     '{aboutUi_->lblIcon, QStringLiteral("ZandorUpdate icon"), {}, false}', '{aboutUi_->lblIcon, {}, {}, false}'),
]

# Written before its first run: 16 faults at places drawn at random (seeded
# line numbers), each what a hurried edit there would do.
TWENTYTHIRD = [
    ("logger: a warning shows the error glyph", "store/TavrelLogger.cpp",
     "        return warningGlyph + ' ';", "        return errorGlyph + ' ';"),
    ("tray images: a larger side picked when the exact one is there", "platform/StatusItem.cpp",
     "[wanted](int side) { return side >= wanted; }", "[wanted](int side) { return side > wanted; }"),
    ("clip check: the content type's parameters kept", "platform/ClipCheck.cpp",
     "QString::fromLatin1(contentType.trimmed()).section(QLatin1Char(';'), 0, 0).trimmed();",
     "QString::fromLatin1(contentType.trimmed());"),
    ("outcomes: the 401 texts of the two modes swapped", "app/UpdateCore.cpp",
     'r.message = interactive ? QStringLiteral("Check your username / password")',
     'r.message = !interactive ? QStringLiteral("Check your username / password")'),
    ("Settings: the MXF box named MPEG", "app/MainInterface.cpp",
     '{ui.setDownloadFormatMXF, QStringLiteral("MXF"),', '{ui.setDownloadFormatMXF, QStringLiteral("MPEG"),'),
    ("property lists: a shallow later child lowers its parent's height", "store/PlistFormat.cpp",
     "height[frame.object] = std::max(height[frame.object], height[child]);", "height[frame.object] = height[child];"),
    ("plan: the MXF switch read from the MPEG one", "app/Update.cpp",
     "p.mxfDownload = switchSetting(kMxfDownload);", "p.mxfDownload = switchSetting(kMpgDownload);"),
    ("store: the settings folder made readable by all", "store/TavrelPlist.cpp",
     "constexpr mode_t kPrivateFolder = 0700;", "constexpr mode_t kPrivateFolder = 0755;"),
    ("session end: the signal heard but the app not ended", "platform/System.cpp",
     "        }\n        QCoreApplication::quit();\n", "        }\n"),
    ("alerts: the sound after the box is closed", "app/Helpers.cpp",
     "    if (useAlertSound)\n        services().alertSound->playAlert();\n    services().alerts->runModal(AlertSpec{message, Info, {QStringLiteral(\"OK\")}, std::nullopt});",
     "    services().alerts->runModal(AlertSpec{message, Info, {QStringLiteral(\"OK\")}, std::nullopt});\n    if (useAlertSound)\n        services().alertSound->playAlert();"),
    ("sleep: going to sleep and waking swapped", "platform/SleepWatcher.cpp",
     "sleeping ? kWillSleepNotification : kDidWakeNotification", "sleeping ? kDidWakeNotification : kWillSleepNotification"),
    ("durable write: no in-place write in a locked folder", "platform/DurableFile.cpp",
     "file.setDirectWriteFallback(true);", "file.setDirectWriteFallback(false);"),
    ("windows: Return clicks a disabled default button", "app/LazyWidgets.cpp",
     "default_ &&\n        default_->isEnabled() && default_->isVisible()) {", "default_ &&\n        default_->isVisible()) {"),
    ("questions: Cancel still returns the text typed", "app/Helpers.cpp",
     "return outcome.response == kAlertFirstButton ? outcome.accessoryText : QString();", "return outcome.accessoryText;"),
    ("login: NotShowIn ignored", "platform/LoginItems.cpp",
     "    if (listsAny(keys, G_KEY_FILE_DESKTOP_KEY_NOT_SHOW_IN, currentDesktops))\n        return entry;\n", ""),
    ("tray menu: the layout revision not raised", "platform/StatusNotifier.cpp",
     "    ++revision_;\n    if (auto *adaptor", "    if (auto *adaptor"),
]

# Written before its first run: 16 faults at places drawn at random (seed
# 20261211, the first sixteen draws that are code; a chmod only an owner-less
# umask would need was passed over for the next draw).
TWENTYFOURTH = [
    ("login: OnlyShowIn read backwards", "platform/LoginItems.cpp",
     "        !listsAny(keys, G_KEY_FILE_DESKTOP_KEY_ONLY_SHOW_IN, currentDesktops))",
     "        listsAny(keys, G_KEY_FILE_DESKTOP_KEY_ONLY_SHOW_IN, currentDesktops))"),
    ("folders: looked for before the documents folder is made", "app/UpdateCore.cpp",
     "    if (const auto documents = platform::services().folders->firstFolder(platform::DirectoryKind::Documents);\n"
     "        documents && plan.folder == *documents && !QFileInfo::exists(plan.folder))\n"
     "        QDir().mkpath(plan.folder);\n"
     "    const bool folderExists = TavrelUtils::DirectoryExists(QUrl::fromLocalFile(plan.folder));\n",
     "    const bool folderExists = TavrelUtils::DirectoryExists(QUrl::fromLocalFile(plan.folder));\n"
     "    if (const auto documents = platform::services().folders->firstFolder(platform::DirectoryKind::Documents);\n"
     "        documents && plan.folder == *documents && !QFileInfo::exists(plan.folder))\n"
     "        QDir().mkpath(plan.folder);\n"),
    ("Settings: the folder label described as its button", "app/MainInterface.cpp",
     'QStringLiteral("The folder the clip is stored in, replacing the previous one")},',
     'QStringLiteral("Choose the folder the clip is stored in")},'),
    ("limits: the announced length never asked for", "platform/CurlHttpClient.cpp",
     "    curl_easy_getinfo(t.easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);\n    const std::int64_t toCome",
     "    const std::int64_t toCome"),
    ("transfers: only error statuses keep their body out of the file", "platform/CurlHttpClient.cpp",
     "        if (status != 200)\n            t.discarding = true;", "        if (status >= 400)\n            t.discarding = true;"),
    ("property lists: a dictionary's keys written as Latin-1", "store/PlistFormat.cpp",
     "plist_dict_set_item(dict, it.key().toUtf8().constData(), fromVariant(it.value()));",
     "plist_dict_set_item(dict, it.key().toLatin1().constData(), fromVariant(it.value()));"),
    ("partials: a partial file dropped without being discarded", "platform/DurableFile.cpp",
     "PartialFile::~PartialFile()\n{\n    discard();\n}", "PartialFile::~PartialFile()\n{\n}"),
    ("tray menu: the property list type not registered", "platform/StatusNotifier.cpp",
     "        qDBusRegisterMetaType<MenuItemPropertiesList>();\n", ""),
    ("folders: the documents folder is the downloads folder", "platform/Folders.cpp",
     "        path = writable(QStandardPaths::DocumentsLocation);", "        path = writable(QStandardPaths::DownloadLocation);"),
    ("tray: the wait image tinted as a mask", "app/Update.cpp",
     "                if (!wait.isNull())\n                    wait.setIsMask(false); // its own colours, not the panel's tint\n", ""),
    ("store: any readable file counts as good settings", "store/TavrelPlist.cpp",
     "    if (bytes && parsePlistDictionary(*bytes))\n        return false;", "    if (bytes)\n        return false;"),
    ("tray: the bus name kept after the icon goes", "platform/StatusNotifier.cpp",
     "    if (bus_.isConnected())\n        bus_.unregisterService(service_);\n", ""),
    ("windows: no window icon", "platform/Application.cpp",
     "    QApplication::setWindowIcon(icon);\n", ""),
    ("clip check: the content type not passed on", "platform/HttpClient.cpp",
     "    return (*loaded)(path, formats, contentType, size);", "    return (*loaded)(path, formats, QByteArray(), size);"),
    ("tray: a plain click opens the menu only while it is open", "platform/StatusItem.cpp",
     "            if (menu_ && !menu_->isVisible())", "            if (menu_ && menu_->isVisible())"),
    ("single instance: the activation object not on the bus", "platform/Activation.cpp",
     "    bus_.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots);\n", ""),
]


# Written before its first run: 16 faults at places drawn at random (seed
# 20261226, the first sixteen draws that are code; where the drawn line is a
# signature, an equivalent guard or the same statement as an earlier set's
# fault, the fault is in the statement beside it).
TWENTYFIFTH = [
    ("clip check: a stream without a decoder fed all the same", "platform/ClipCheck.cpp",
     "stream < decoders.size() && decoders[stream] && feed(stream, packet.get());",
     "stream < decoders.size() && feed(stream, packet.get());"),
    ("progress: received and expected swapped in the line", "app/UpdateCore.cpp",
     'QStringLiteral("%1 of %2").arg(received).arg(expected)', 'QStringLiteral("%1 of %2").arg(expected).arg(received)'),
    ("tray images: handed over at their own size, never fitted", "platform/StatusItem.cpp",
     "        return drawn.size() == fit ? drawn : drawn.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);",
     "        return drawn;"),
    ("folders: no /etc/xdg when XDG_CONFIG_DIRS is unset", "platform/Folders.cpp",
     '    if (dirs.isEmpty())\n        return {QStringLiteral("/etc/xdg")};\n', ""),
    ("property lists: data read up to its first NUL", "store/PlistFormat.cpp",
     "        QByteArray value(data, qsizetype(length));", "        QByteArray value(data);"),
    ("progress: the first bytes not reported", "platform/CurlHttpClient.cpp",
     "if (t.received - t.reported >= kProgressStep || t.reported == 0)", "if (t.received - t.reported >= kProgressStep)"),
    ("diagnostics: an address QUrl cannot parse keeps its credentials", "app/UpdateCore.cpp",
     ': QString(url).replace(userInfo, QStringLiteral("\\\\1"));', ": url;"),
    ("notices: the body bold as the title", "platform/Notifier.cpp",
     "        shown.setBold(bold);", "        shown.setBold(true);"),
    ("file chooser: a new folder may be made when a file is asked for", "support/TavrelExtensions.cpp",
     "    options.canChooseFiles = true;\n    options.canCreateDirectories = false;",
     "    options.canChooseFiles = true;\n    options.canCreateDirectories = true;"),
    ("dates: the minute read in the date's own zone", "support/TavrelExtensions.cpp",
     "    return date.toLocalTime().time().minute();", "    return date.time().minute();"),
    ("tray: the wait for a tray goes on after the notice", "app/AppDelegate.cpp",
     "    trayRetry_.stop();\n", ""),
    ("file attributes: the permissions key misnamed", "support/TavrelUtils.h",
     'FilePermissionsKey = QStringLiteral("FilePosixPermissions");', 'FilePermissionsKey = QStringLiteral("FilePermissions");'),
    ("store: an error told as its number", "store/TavrelPlist.cpp",
     "    return QString::fromLocal8Bit(std::strerror(errno));", "    return QString::number(errno);"),
    ("refusals: the hourly update not refused a missing folder", "app/UpdateCore.cpp",
     "    if (!folderExists)\n", "    if (!folderExists && interactive)\n"),
    ("property lists: the XML text never freed", "store/PlistFormat.cpp",
     "    QByteArray out(xml, qsizetype(length));\n    plist_to_xml_free(xml);\n", "    QByteArray out(xml, qsizetype(length));\n"),
    ("writes: a failed write does not wake a transfer waiting for room", "platform/ClipWriter.cpp",
     "return queue_.size() < kQueuedBlocks || error_ != 0; });", "return queue_.size() < kQueuedBlocks; });"),
]


# Written before its first run: 16 faults at places drawn at random (seed
# 20261227, the first sixteen draws that are code, as the set before).
TWENTYSIXTH = [
    ("Settings: a check box shows only 1 as on", "app/Windows.cpp",
     "(this->**box)->setChecked(switchSetting(field->key));",
     "(this->**box)->setChecked(appSettings.value(field->key).toInt() == 1);"),
    ("About: its view never says it loaded", "app/MainInterface.cpp",
     "    aboutViewController_->viewDidLoad();\n", ""),
    ("store: a missing template copied all the same", "store/TavrelPlist.cpp",
     "    if (!source || !dest || !QFileInfo::exists(*source))\n", "    if (!source || !dest)\n"),
    ("media: the stream info never probed", "platform/MediaAsset.cpp",
     "    if (avformat_find_stream_info(format, nullptr) < 0)\n        return asset;\n", ""),
    ("transfers: the worker not woken for a new request", "platform/CurlHttpClient.cpp",
     "        w.incoming.push_back(std::move(transfer));\n    }\n    curl_multi_wakeup(w.multi);\n",
     "        w.incoming.push_back(std::move(transfer));\n    }\n"),
    ("names: filename preferred over filename*", "platform/DownloadNames.cpp",
     "{extended, plain, withoutControls(QUrl(url).fileName())}", "{plain, extended, withoutControls(QUrl(url).fileName())}"),
    ("outcomes: an alert never plays its sound", "app/Update.cpp",
     "ShowInfoMessageModal(result.title, result.message, result.sound);",
     "ShowInfoMessageModal(result.title, result.message, false);"),
    ("questions: the text field not placed in the box", "platform/Dialogs.cpp",
     "        addAccessory(box, edit);\n", ""),
    ("warm-up: the module loaded but its worker not started", "platform/HttpClient.cpp",
     "    load();\n    if (client_)\n        client_->prepare();\n", "    load();\n"),
    ("notices: a popup placed over one it only partly covers", "platform/Notifier.cpp",
     "[&](const QRect &window) { return window.intersects(at); }",
     "[&](const QRect &window) { return window.contains(at.topLeft()); }"),
    ("dates: an out-of-season abbreviation looked up a year on", "support/TavrelExtensions.cpp",
     "    const QDateTime later = now.addMonths(6);", "    const QDateTime later = now.addMonths(12);"),
    ("property lists: the last object not looked at for NUL text", "store/PlistFormat.cpp",
     "    for (uint64_t i = 0; i < plist.objects(); ++i) {\n        // libplist reads objects only when referenced",
     "    for (uint64_t i = 0; i + 1 < plist.objects(); ++i) {\n        // libplist reads objects only when referenced"),
    ("notices: the ampersand not escaped for markup", "platform/Notifier.cpp",
     "        shown.replace(QLatin1Char('&'), QStringLiteral(\"&amp;\"))\n            .replace(QLatin1Char('<')",
     "        shown.replace(QLatin1Char('<')"),
    ("transfers: a chunked body not counted as framed", "platform/CurlHttpClient.cpp",
     '    } else if (lower.startsWith("content-length:") ||\n               (lower.startsWith("transfer-encoding:") && line.toLower().contains("chunked"))) {',
     '    } else if (lower.startsWith("content-length:")) {'),
    ("login: the autostart entry without its icon", "platform/LoginItems.cpp",
     '           "Icon=zandorupdate\\n"\n', ""),
    ("refusals: told as a failure", "app/UpdateCore.cpp",
     "    r.status = Status::Refused;\n", "    r.status = Status::Failed;\n"),
]


# Written before its first run: 16 faults at places drawn at random (seed
# 20261228, the first sixteen draws that are code, as the sets before).
TWENTYSEVENTH = [
    ("errors: the text of errno, not of the error given", "platform/DurableFile.cpp",
     "    return {QString::fromLocal8Bit(std::strerror(error))};", "    return {QString::fromLocal8Bit(std::strerror(errno))};"),
    ("notices: the text drawn in the plain font", "platform/Notifier.cpp",
     "        document_.setDefaultFont(shown);\n", ""),
    ("property lists: the deepest nesting allowed refused", "store/PlistFormat.cpp",
     "    if (depth > kDeepestNesting)\n        return std::nullopt;", "    if (depth >= kDeepestNesting)\n        return std::nullopt;"),
    ("dates: between only in the bounds' first order", "support/TavrelExtensions.cpp",
     "    return compare(first, date) == compare(date, second);",
     "    return compare(first, date) < 0 && compare(date, second) < 0;"),
    ("update: the settings' certificate authority not passed on", "app/Update.cpp",
     "    p.caFile = certificateAuthorityFile;\n", ""),
    ("tray: a theme icon name offered before the pixmaps", "platform/StatusNotifier.h",
     "    QString iconName() const { return {}; }", "    QString iconName() const { return QStringLiteral(\"zandorupdate\"); }"),
    ("system log: the message taken as its format", "platform/Output.cpp",  # where the line now goes
     '(level == Level::Error ? LOG_ERR : LOG_WARNING), "%s", line.c_str());',
     "(level == Level::Error ? LOG_ERR : LOG_WARNING), line.c_str());"),
    ("tray: the tooltip's title and text swapped", "platform/StatusNotifier.cpp",
     'return {QString(), {}, QStringLiteral("ZandorUpdate"), toolTipText_};',
     'return {QString(), {}, toolTipText_, QStringLiteral("ZandorUpdate")};'),
    ("sleep: the wake never listened for", "app/AppDelegate.cpp",
     "    s.sleepWatcher->subscribe(platform::kDidWakeNotification, [this](const QString &name) { sleepListener(name); });\n", ""),
    ("login: a new item placed after the first, not the last", "login/osxLaunchAtStartup.cpp",
     "    const platform::LoginItem last = snapshot.back();", "    const platform::LoginItem last = snapshot.front();"),
    ("activation: the bus name kept when the app ends", "platform/Activation.cpp",
     "    bus_.unregisterService(kName);\n", ""),
    ("sounds: an alert plays the information sound", "platform/Dialogs.cpp",
     '    play("dialog-warning", "Alert");', '    play("dialog-information", "Alert");'),
    ("transfers: the certificate path shared with the caller's thread", "platform/CurlHttpClient.cpp",
     "&transfer->request.folder, &transfer->request.caFile})", "&transfer->request.folder})"),
    ("sleep: going to sleep and waking told the other way round", "platform/SleepWatcher.cpp",
     "sleeping ? kWillSleepNotification : kDidWakeNotification;", "sleeping ? kDidWakeNotification : kWillSleepNotification;"),
    ("transfers: the outcome told on the worker thread", "platform/CurlHttpClient.cpp",
     "    client->post([completion = std::move(t.completion), result] { completion(result); });",
     "    t.completion(result);"),
    ("questions: closing the OK/Cancel box counts as OK", "app/Helpers.cpp",
     "    return outcome.response == kAlertFirstButton;\n}\n\nQString", "    return outcome.response != kAlertFirstButton + 1;\n}\n\nQString"),
]


# Written before its first run: 16 faults at places drawn at random (seed
# 20261229, the first sixteen draws that are code, as the sets before).
TWENTYEIGHTH = [
    ("writes: a block freed as if made by new", "platform/ClipWriter.h",
     "void operator()(char *p) const { std::free(p); }", "void operator()(char *p) const { ::operator delete(p); }"),
    ("tray: the menu placed below the screen's foot", "platform/StatusNotifier.cpp",
     "    at.setY(std::clamp(at.y(), room.top(), room.bottom()));\n", ""),
    ("writes: the block being filled not counted as pending", "platform/ClipWriter.cpp",
     "    return handedOver_ - written_ + std::int64_t(filling_.size);", "    return handedOver_ - written_;"),
    ("clip info: the last picture stream taken, not the first", "support/TavrelUtils.cpp",
     "        if (track.kind == platform::TrackKind::Video && !video)", "        if (track.kind == platform::TrackKind::Video)"),
    ("logger: the column given as the line", "store/TavrelLogger.cpp",
     "    logMessage(message, level, where.file_name(), unsigned(where.line()));",
     "    logMessage(message, level, where.file_name(), unsigned(where.column()));"),
    ("windows: re-centred at every showing", "app/Windows.cpp",
     '        window->setProperty("zu_placed", true);\n', ""),
    ("command line: --display's value taken as an argument", "app/CommandLine.cpp",
     '"session",       "display", "geometry",', '"session",       "geometry",'),
    ("property lists: a UID cut to 32 bits", "store/PlistFormat.cpp",
     "        plist_get_uid_val(node, &value);\n        return QVariant(qint64(value));",
     "        plist_get_uid_val(node, &value);\n        return QVariant(int(value));"),
    ("tray: a middle click opens no menu", "platform/StatusNotifier.h",
     "    void SecondaryActivate(int x, int y) { item_->popUpMenu(x, y); }", "    void SecondaryActivate(int, int) {}"),
    ("writes: an interrupted write taken as a failure", "platform/ClipWriter.cpp",
     "        if (n < 0 && errno == EINTR)\n            continue;\n", ""),
    ("store: the template copied over a file that appeared meanwhile", "store/TavrelPlist.cpp",
     "O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFile);", "O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivateFile);"),
    ("dates: EET looked up in Istanbul", "support/TavrelExtensions.cpp",
     '{QStringLiteral("EET"), "Europe/Athens"},', '{QStringLiteral("EET"), "Europe/Istanbul"},'),
    ("media: a picture's width taken from its height", "platform/MediaAsset.cpp",
     "            track.width = codec->width;", "            track.width = codec->height;"),
    ("tray: the menu not exported", "platform/StatusNotifier.cpp",
     '    bus_.registerObject(QStringLiteral("/MenuBar"), this, QDBusConnection::ExportAdaptors);\n', ""),
    ("sleep: a subscriber never recorded", "platform/SleepWatcher.cpp",
     "    handlers_.emplace_back(notificationName, std::move(handler));\n", ""),
    ("writes: a transfer waiting for room not woken as a block goes", "platform/ClipWriter.cpp",
     "            queue_.pop_front();\n            changed_.notify_all();\n", "            queue_.pop_front();\n"),
]


def copy_changed(source, target):
    if not (os.path.exists(target) and filecmp.cmp(source, target, shallow=False)):
        shutil.copy(source, target)
    return target


def run(argv, cwd, **kw):
    return subprocess.run(argv, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw).returncode


def suite():
    """None when every test passes: the unit and end-to-end tests, then (when
    those pass) the transfer threads under ThreadSanitizer, as scripts/test
    runs them. Otherwise what failed: a failure that does not come again when
    those tests run once more is a flake, not a catch, and says so."""
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1:abort_on_error=1")
    build = os.path.join(work, "build")
    for label, timeout in (("unit", "600"), ("e2e", "300")):
        if run(["ctest", "-L", label, "--timeout", timeout], build, env=env):
            with open(os.path.join(build, "Testing", "Temporary", "LastTestsFailed.log")) as failed:
                names = " ".join(line.split(":", 1)[-1].strip() for line in failed)
            again = run(["ctest", "--rerun-failed", "--timeout", timeout], build, env=env)
            return "%s: %s%s" % (label, names, "" if again else " FLAKY")
    if threads():
        return "threads" + ("" if threads() else " FLAKY")
    return None


def threads():
    build = os.path.join(work, "tsan")
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        subprocess.run(["cmake", "-S", os.path.join(work, "src"), "-B", build, "-DCMAKE_BUILD_TYPE=Debug",
                        "-DZU_TSAN=ON", "-DZU_TEST_TRUST=ON", "-DZU_BUILD_BENCH=OFF"],
                       check=True, stdout=subprocess.DEVNULL)
    if run(["cmake", "--build", build, "--target", "platform_tests", "app_tests", "-j%d" % os.cpu_count()], build):
        return 1
    with open(os.path.join(build, "threads.log"), "a") as log:
        return subprocess.run([os.path.join(work, "src", "scripts", "lib", "threads"), os.path.join(build, "tests")],
                              cwd=build, stdout=log, stderr=subprocess.STDOUT).returncode


def main():
    wanted = sys.argv[1:]
    sets = {"--fresh": FRESH, "--third": THIRD, "--fourth": FOURTH, "--fifth": FIFTH, "--sixth": SIXTH, "--seventh": SEVENTH,
            "--eighth": EIGHTH, "--ninth": NINTH, "--tenth": TENTH, "--eleventh": ELEVENTH,
            "--twelfth": TWELFTH, "--thirteenth": THIRTEENTH, "--fourteenth": FOURTEENTH, "--fifteenth": FIFTEENTH, "--sixteenth": SIXTEENTH,
            "--seventeenth": SEVENTEENTH, "--eighteenth": EIGHTEENTH, "--nineteenth": NINETEENTH, "--twentieth": TWENTIETH,
            "--twentyfirst": TWENTYFIRST, "--twentysecond": TWENTYSECOND, "--twentythird": TWENTYTHIRD, "--twentyfourth": TWENTYFOURTH,
            "--twentyfifth": TWENTYFIFTH, "--twentysixth": TWENTYSIXTH,
            "--twentyseventh": TWENTYSEVENTH,
            "--twentyeighth": TWENTYEIGHTH, "--unrun": UNRUN}
    chosen = next((sets[w] for w in wanted if w in sets), FAULTS)
    wanted = [w for w in wanted if not w.startswith("--")]
    faults = [f for f in chosen if not wanted or any(w in f[0] for w in wanted)]
    subprocess.run(["git", "worktree", "prune"], cwd=top)
    # Only what changed is copied, with a new time: a file a fault was put
    # into and taken out of must not come back older than what was built
    # from the fault (the ThreadSanitizer build ran stale that way).
    shutil.copytree(top, os.path.join(work, "src"), ignore=shutil.ignore_patterns("build", ".git"),
                    dirs_exist_ok=True, copy_function=copy_changed)
    for folder, _, names in os.walk(os.path.join(work, "src")):  # and what the checkout no longer has goes
        for path in (os.path.join(folder, name) for name in names):
            if not os.path.exists(os.path.join(top, os.path.relpath(path, os.path.join(work, "src")))):
                os.remove(path)
    src, build = os.path.join(work, "src"), os.path.join(work, "build")
    flags = ["-DCMAKE_BUILD_TYPE=Debug", "-DZU_SANITIZE=ON", "-DZU_TEST_TRUST=ON", "-DZU_BUILD_BENCH=OFF"]
    subprocess.run(["cmake", "-S", src, "-B", build] + flags, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "-j%d" % os.cpu_count()], check=True, stdout=subprocess.DEVNULL)
    failed = suite()
    assert failed is None, "the suite fails without any fault: " + failed
    caught, missed = [], []
    for name, path, before, after in faults:
        file = os.path.join(src, path)
        original = open(file).read()
        assert original.count(before) == 1, "%s: the text to change is not there once" % name
        open(file, "w").write(original.replace(before, after))
        start = time.monotonic()
        try:
            if run(["cmake", "--build", build, "-j%d" % os.cpu_count()], src) != 0:
                print("does not build: %s" % name, flush=True)
                continue
            failed = suite()
            noticed = failed is not None and not failed.endswith("FLAKY")
            (caught if noticed else missed).append(name)
            print("%-7s %s (%.0f s) %s" % ("caught" if noticed else "MISSED", name, time.monotonic() - start,
                                           failed or ""), flush=True)
        finally:
            open(file, "w").write(original)
    subprocess.run(["cmake", "--build", build, "-j%d" % os.cpu_count()], stdout=subprocess.DEVNULL)
    total = len(caught) + len(missed)
    print("%d of %d faults caught (%.0f %%)" % (len(caught), total, 100.0 * len(caught) / max(total, 1)))
    for name in missed:
        print("  missed: " + name)
    return 0 if not missed else 1


if __name__ == "__main__":
    sys.exit(main())
