#pragma once

#include <QHash>
#include <QStringList>
#include <memory>

// The pinyin readings of Chinese characters, lower case and without tone marks. The readings
// come from ICU's Han-Latin transliterator, as a word and as a surname (曾: ceng, zeng), and
// from a short list of other readings of common characters that have several (长: chang,
// zhang). Each character is asked once; the answer is kept.
class PinyinReadings {
public:
    PinyinReadings();
    ~PinyinReadings();
    PinyinReadings(const PinyinReadings&) = delete;
    PinyinReadings& operator=(const PinyinReadings&) = delete;

    // The readings of character c; empty for a character that is no Han character.
    const QStringList& of(char32_t c);

    static bool isHan(char32_t c);

private:
    QStringList ask(char32_t c) const;

    struct Transliterators;
    std::unique_ptr<Transliterators> m_icu;
    QHash<char32_t, QStringList> m_known;
};

// Whether what is typed begins `text`: as written (letter case aside), or spelled in pinyin,
// each character by its first letter or by a whole reading, the last one typed also by the
// start of a reading: "hn", "hun", "hunan", "湖" and "湖n" all begin 湖南.
bool typedBegins(PinyinReadings& readings, const QString& text, const QString& typed);
