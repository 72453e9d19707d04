#ifndef PLUGIN_HELPER_FUNCTIONS_H
#define PLUGIN_HELPER_FUNCTIONS_H

// Media classification by file extension, and copies of evidence files into the scratch folder.
// A plain object (not a Qt object): the plug-in object owns and deletes it.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <atomic>

class plugin_helper_functions
{
  public:
    // One list per first character of an extension: "0" to "9", then "a" to "z".
    static constexpr int bucket_count_int = 36;
    using extension_table = std::array<QStringList, bucket_count_int>;

    explicit plugin_helper_functions(QWidget* parent = nullptr);
    ~plugin_helper_functions();

    void set_essentials();
    void set_cancel_extraction(bool cancel);

    bool check_is_image_by_extn(QString file_name);
    bool check_is_audio_by_extn(QString file_name);
    bool check_is_video_by_extn(QString file_name);

    void set_adhoc_parent_path(QString path);
    QString get_adhoc_path_for_regular_file(QString file_path);
    QString get_adhoc_path_for_database(QString db_path);

    // Read-only views of the tables, for callers that list what is recognised.
    const extension_table& get_image_extension_table() const { return image_extension_table; }
    const extension_table& get_video_extension_table() const { return video_extension_table; }
    const extension_table& get_audio_extension_table() const { return audio_extension_table; }

  private:
    enum class lookup_result
    {
        matched,
        not_in_bucket,
        rejected
    };

    void initialize_image_extension_list();
    void initialize_audio_extension_list();
    void initialize_video_extension_list();
    lookup_result lookup_extension(const extension_table& table, const QString& file_name) const;
    QString reserve_adhoc_path(const QString& source_path, const QString& caller);

    std::atomic<bool> cancel_extraction_bool;
    extension_table image_extension_table;
    extension_table video_extension_table;
    extension_table audio_extension_table;
    QString adhoc_parent_path_QString;
};

#endif
