#include "MediaInfoJson.h"

#include <QJsonArray>

QJsonObject toJson(const TavrelUtils::MediaFileInfo &info)
{
    QJsonArray metadata;
    for (const auto &item : info.commonMetaData) {
        QJsonObject entry;
        for (const auto &[key, value] : item)
            entry.insert(key, value);
        metadata.append(entry);
    }
    return {
        {"urlName", info.urlName ? QJsonValue(info.urlName->toString()) : QJsonValue()},
        {"urlExists", info.urlExists},
        {"urlSize", double(info.urlSize)},
        {"urlType", info.urlType},
        {"urlPath", info.urlPath},
        {"urlExtenstion", info.urlExtenstion},
        {"shortFileName", info.shortFileName},
        {"lengthInMs", double(info.lengthInMs)},
        {"frameRate", double(info.frameRate)},
        {"frameCount", double(info.frameCount)},
        {"audioNumberOfChannels", double(info.audioNumberOfChannels)},
        {"audioLength", double(info.audioLength)},
        {"audioSampleRate", info.audioSampleRate},
        {"isPlayable", info.isPlayable},
        {"hasAudio", info.hasAudio},
        {"hasVideo", info.hasVideo},
        {"commonMetaData", metadata},
    };
}
