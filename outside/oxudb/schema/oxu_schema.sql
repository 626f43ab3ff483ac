-- Database of the server library: the records a device sent, as patient, study, series,
-- instance and waveform rows. Viewers read the instance rows to find the record files.
-- One text for both backends; {BLOB} is the backend's byte type. Texts are UTF-8.
-- oxu_info holds the schema version, the UID root of this database and the next keys.

CREATE TABLE IF NOT EXISTS oxu_info (
    name        VARCHAR(32) PRIMARY KEY,
    text_value  VARCHAR(64),
    int_value   BIGINT
);

CREATE TABLE IF NOT EXISTS patient (
    patient_id      VARCHAR(64) PRIMARY KEY,
    patient_name    VARCHAR(128) NOT NULL DEFAULT '',
    birth_date      VARCHAR(16) NOT NULL DEFAULT '',
    sex             VARCHAR(4) NOT NULL DEFAULT '',
    comments        VARCHAR(256) NOT NULL DEFAULT ''
);

CREATE TABLE IF NOT EXISTS study (
    study_key       BIGINT PRIMARY KEY,
    study_uid       VARCHAR(64) NOT NULL UNIQUE,
    patient_id      VARCHAR(64) NOT NULL REFERENCES patient (patient_id),
    study_date      VARCHAR(8) NOT NULL DEFAULT '',
    study_time      VARCHAR(6) NOT NULL DEFAULT '',
    doctor          VARCHAR(128) NOT NULL DEFAULT '',
    accession_no    VARCHAR(64) NOT NULL DEFAULT '',
    study_type      VARCHAR(16) NOT NULL DEFAULT '',
    study_desc      VARCHAR(128) NOT NULL DEFAULT '',
    study_id        VARCHAR(16) NOT NULL DEFAULT '',
    patient_age     VARCHAR(16) NOT NULL DEFAULT '',
    patient_height  VARCHAR(16) NOT NULL DEFAULT '',
    patient_weight  VARCHAR(16) NOT NULL DEFAULT '',
    reserved1       VARCHAR(64) NOT NULL DEFAULT '',
    reserved2       VARCHAR(64) NOT NULL DEFAULT ''
);

CREATE TABLE IF NOT EXISTS series (
    series_key      BIGINT PRIMARY KEY,
    series_uid      VARCHAR(64) NOT NULL UNIQUE,
    study_key       BIGINT NOT NULL REFERENCES study (study_key),
    patient_id      VARCHAR(64) NOT NULL,
    modality        VARCHAR(16) NOT NULL DEFAULT '',
    series_number   INTEGER NOT NULL DEFAULT 0,
    series_date     VARCHAR(8) NOT NULL DEFAULT '',
    series_time     VARCHAR(6) NOT NULL DEFAULT '',
    body_part       VARCHAR(64) NOT NULL DEFAULT '',
    protocol_name   VARCHAR(64) NOT NULL DEFAULT '',
    series_desc     VARCHAR(64) NOT NULL DEFAULT '',
    series_type     VARCHAR(64) NOT NULL DEFAULT '',
    operator_name   VARCHAR(64) NOT NULL DEFAULT '',
    manufacturer    VARCHAR(64) NOT NULL DEFAULT '',
    institution     VARCHAR(128) NOT NULL DEFAULT '',
    station_name    VARCHAR(64) NOT NULL DEFAULT '',
    model_name      VARCHAR(64) NOT NULL DEFAULT '',
    software        VARCHAR(64) NOT NULL DEFAULT ''
);

CREATE TABLE IF NOT EXISTS instance (
    instance_key    BIGINT PRIMARY KEY,
    instance_uid    VARCHAR(64) NOT NULL UNIQUE,
    series_key      BIGINT NOT NULL REFERENCES series (series_key),
    study_key       BIGINT NOT NULL,
    instance_number INTEGER NOT NULL DEFAULT 0,
    content_datetime VARCHAR(14) NOT NULL DEFAULT '',
    content_date    VARCHAR(8) NOT NULL DEFAULT '',
    content_time    VARCHAR(6) NOT NULL DEFAULT '',
    file_folder     VARCHAR(1024) NOT NULL DEFAULT '',
    file_name       VARCHAR(256) NOT NULL DEFAULT ''
);

CREATE TABLE IF NOT EXISTS waveform (
    instance_key    BIGINT PRIMARY KEY REFERENCES instance (instance_key),
    instance_uid    VARCHAR(64) NOT NULL,
    series_key      BIGINT NOT NULL,
    study_key       BIGINT NOT NULL,
    originality     VARCHAR(16) NOT NULL DEFAULT '',
    channels        INTEGER NOT NULL DEFAULT 0,
    samples         INTEGER NOT NULL DEFAULT 0,
    frequency       INTEGER NOT NULL DEFAULT 0,
    bits_allocated  INTEGER NOT NULL DEFAULT 0,
    interpretation  VARCHAR(4) NOT NULL DEFAULT '',
    padding         INTEGER NOT NULL DEFAULT 0,
    wave_data       {BLOB}
);

-- What each record file held when its rows were written (SHA-256 of its bytes, as hex): a
-- file of the same name that holds other bytes is another record. Rows of an older version
-- have none.
CREATE TABLE IF NOT EXISTS instance_digest (
    instance_key    BIGINT PRIMARY KEY REFERENCES instance (instance_key),
    file_digest     VARCHAR(64) NOT NULL
);

CREATE INDEX IF NOT EXISTS study_patient ON study (patient_id);
CREATE INDEX IF NOT EXISTS series_study ON series (study_key);
CREATE INDEX IF NOT EXISTS instance_series ON instance (series_key);
-- A record's rows are found by its file and its bytes: they are written once per record.
CREATE INDEX IF NOT EXISTS instance_file ON instance (file_name);
