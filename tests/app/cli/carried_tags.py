"""The tags every conversion carries, judged by mutagen.

make-flac PATH   gives a FLAC file every carried field (non-Latin and 1,000-character values
                 among them), a field of its own and two pictures (a PNG front cover, a JPEG
                 back cover).
make-m4a PATH    gives an M4A file the same fields as iTunes items and the two pictures as covers.
make-wma PATH    gives a WMA file the same fields as ASF attributes and the pictures as WM/Picture.
save-id3v23 PATH saves an MP3's tag again as ID3v2.3.
add-huge-picture PATH adds a 17 MiB picture to an MP3's tag.
add-id3-chunk PATH gives a WAV file an 'id3 ' chunk with a title, a composer and a front cover.
check PATH [v23|other] reads a converted file with mutagen in its own family's names and prints one
                 line per field or picture that differs from the source's; exit status 1 then.
                 v23: it came through an ID3v2.3 tag; other: through another tag family, so
                 the source's own fields are not expected; m4a: the pictures came through MP4
                 covers, which have no picture type beyond the first one being the front; wma:
                 from make-wma's pictures, the back cover past 64 KiB.
"""
import base64
import struct
import sys
import zlib

import mutagen
import mutagen.apev2
import mutagen.asf
import mutagen.flac
import mutagen.id3
import mutagen.mp4
import mutagen.wave


def png(width, height):
    rows = b''.join(b'\x00' + bytes((x * 7 + y) % 256 for x in range(width * 3))
                    for y in range(height))

    def chunk(kind, data):
        crc = zlib.crc32(kind + data) & 0xffffffff
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', crc)

    header = struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(rows)) +
            chunk(b'IEND', b''))


# A baseline JPEG header stating 48 x 32, enough for every reader here.
JPEG = (b'\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00'
        b'\xff\xc0\x00\x11\x08\x00\x20\x00\x30\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xff\xd9')
PICTURES = [(3, 'image/png', 'front', png(40, 30)), (4, 'image/jpeg', 'back', JPEG)]

FIELDS = {
    'TITLE': ['Björk – 東京 (Live)'], 'ARTIST': ['Ünal', 'Второй'], 'ALBUM': ['Ålbum'],
    'ALBUMARTIST': ['Various Artists'], 'GENRE': ['Electronic'], 'DATE': ['2001-05-03'],
    'TRACKNUMBER': ['3'], 'TRACKTOTAL': ['12'], 'DISCNUMBER': ['1'], 'DISCTOTAL': ['2'],
    'COMPOSER': ['Komponist'], 'COMMENT': ['long ' + 'ß' * 995], 'LYRICS': ['la la\nlu'],
    'COPYRIGHT': ['℗ 2001 Label'], 'LABEL': ['Label Records'], 'ISRC': ['GBAYE0100001'],
    'BPM': ['128'], 'COMPILATION': ['1'],
    'MUSICBRAINZ_TRACKID': ['8d3d5a3c-0000-4000-8000-000000000001'],
    'MUSICBRAINZ_ALBUMID': ['8d3d5a3c-0000-4000-8000-000000000002'],
    'MUSICBRAINZ_ARTISTID': ['8d3d5a3c-0000-4000-8000-000000000003'],
    'MUSICBRAINZ_ALBUMARTISTID': ['8d3d5a3c-0000-4000-8000-000000000004'],
    'MUSICBRAINZ_RELEASEGROUPID': ['8d3d5a3c-0000-4000-8000-000000000005'],
    'REPLAYGAIN_TRACK_GAIN': ['-6.50 dB'], 'REPLAYGAIN_TRACK_PEAK': ['0.988831'],
    'REPLAYGAIN_ALBUM_GAIN': ['-7.25 dB'], 'REPLAYGAIN_ALBUM_PEAK': ['0.999969'],
}
OWN = {'MOOD': ['calm']}

APE_KEYS = {
    'title': 'TITLE', 'artist': 'ARTIST', 'album': 'ALBUM', 'album artist': 'ALBUMARTIST',
    'genre': 'GENRE', 'year': 'DATE', 'composer': 'COMPOSER', 'comment': 'COMMENT',
    'lyrics': 'LYRICS', 'copyright': 'COPYRIGHT', 'label': 'LABEL', 'isrc': 'ISRC',
    'bpm': 'BPM', 'compilation': 'COMPILATION',
}
ASF_NAMES = {
    'title': 'TITLE', 'author': 'ARTIST', 'wm/albumtitle': 'ALBUM', 'wm/albumartist': 'ALBUMARTIST',
    'wm/genre': 'GENRE', 'wm/year': 'DATE', 'wm/tracknumber': 'TRACKNUMBER',
    'tracktotal': 'TRACKTOTAL', 'wm/composer': 'COMPOSER', 'description': 'COMMENT',
    'wm/lyrics': 'LYRICS', 'copyright': 'COPYRIGHT', 'wm/publisher': 'LABEL', 'wm/isrc': 'ISRC',
    'wm/beatsperminute': 'BPM', 'wm/iscompilation': 'COMPILATION',
    'musicbrainz/track id': 'MUSICBRAINZ_TRACKID', 'musicbrainz/album id': 'MUSICBRAINZ_ALBUMID',
    'musicbrainz/artist id': 'MUSICBRAINZ_ARTISTID',
    'musicbrainz/album artist id': 'MUSICBRAINZ_ALBUMARTISTID',
    'musicbrainz/release group id': 'MUSICBRAINZ_RELEASEGROUPID',
}
ID3_FRAMES = {
    'TIT2': 'TITLE', 'TPE1': 'ARTIST', 'TALB': 'ALBUM', 'TPE2': 'ALBUMARTIST', 'TCON': 'GENRE',
    'TDRC': 'DATE', 'TCOM': 'COMPOSER', 'TCOP': 'COPYRIGHT', 'TPUB': 'LABEL', 'TSRC': 'ISRC',
    'TBPM': 'BPM', 'TCMP': 'COMPILATION', 'COMM': 'COMMENT', 'USLT': 'LYRICS',
}
ID3_USER_TEXTS = {
    'musicbrainz album id': 'MUSICBRAINZ_ALBUMID', 'musicbrainz artist id': 'MUSICBRAINZ_ARTISTID',
    'musicbrainz album artist id': 'MUSICBRAINZ_ALBUMARTISTID',
    'musicbrainz release group id': 'MUSICBRAINZ_RELEASEGROUPID',
}
APE_COVERS = {'cover art (front)': 3, 'cover art (back)': 4}


def make_flac(path):
    audio = mutagen.flac.FLAC(path)
    for name, values in {**FIELDS, **OWN}.items():
        audio[name] = values
    for kind, mime, description, data in PICTURES:
        picture = mutagen.flac.Picture()
        picture.type, picture.mime, picture.desc, picture.data = kind, mime, description, data
        audio.add_picture(picture)
    audio.save()


MP4_ATOMS = {
    '\xa9nam': 'TITLE', '\xa9ART': 'ARTIST', '\xa9alb': 'ALBUM', 'aART': 'ALBUMARTIST',
    '\xa9gen': 'GENRE', '\xa9day': 'DATE', '\xa9wrt': 'COMPOSER', '\xa9cmt': 'COMMENT',
    '\xa9lyr': 'LYRICS', 'cprt': 'COPYRIGHT',
}
MP4_FREEFORM = {
    'MusicBrainz Track Id': 'MUSICBRAINZ_TRACKID', 'MusicBrainz Album Id': 'MUSICBRAINZ_ALBUMID',
    'MusicBrainz Artist Id': 'MUSICBRAINZ_ARTISTID',
    'MusicBrainz Album Artist Id': 'MUSICBRAINZ_ALBUMARTISTID',
    'MusicBrainz Release Group Id': 'MUSICBRAINZ_RELEASEGROUPID', 'ISRC': 'ISRC',
    'LABEL': 'LABEL', 'replaygain_track_gain': 'REPLAYGAIN_TRACK_GAIN',
    'REPLAYGAIN_TRACK_PEAK': 'REPLAYGAIN_TRACK_PEAK', 'replaygain_album_gain': 'REPLAYGAIN_ALBUM_GAIN',
    'replaygain_album_peak': 'REPLAYGAIN_ALBUM_PEAK',
}
# An MP4 cover has no picture type: the first is the front cover, the others "other".
MP4_PICTURES = [(3, PICTURES[0][3]), (0, PICTURES[1][3])]
# A WM/Picture past 64 KiB goes to the metadata library object, with a 32-bit length.
WM_PICTURES = [PICTURES[0], PICTURES[1][:3] + (JPEG + bytes(70000),)]


def make_m4a(path):
    audio = mutagen.mp4.MP4(path)
    for atom, name in MP4_ATOMS.items():
        audio[atom] = FIELDS[name]
    for item, name in MP4_FREEFORM.items():
        audio['----:com.apple.iTunes:' + item] = [v.encode() for v in FIELDS[name]]
    audio['----:org.example:MOOD'] = [b'calm']
    audio['trkn'] = [(3, 12)]
    audio['disk'] = [(1, 2)]
    audio['tmpo'] = [128]
    audio['cpil'] = True
    audio['covr'] = [mutagen.mp4.MP4Cover(PICTURES[0][3], mutagen.mp4.MP4Cover.FORMAT_PNG),
                     mutagen.mp4.MP4Cover(PICTURES[1][3], mutagen.mp4.MP4Cover.FORMAT_JPEG)]
    audio.save()


def wm_picture(kind, mime, description, data):
    text = lambda t: t.encode('utf-16-le') + b'\0\0'
    return struct.pack('<BI', kind, len(data)) + text(mime) + text(description) + data


def make_wma(path):
    audio = mutagen.asf.ASF(path)
    names = {name: key for key, name in ASF_NAMES.items()}
    for key in ['Title', 'Author', 'WM/AlbumTitle', 'WM/AlbumArtist', 'WM/Genre', 'WM/Year',
                'WM/TrackNumber', 'TrackTotal', 'WM/Composer', 'Description', 'WM/Lyrics',
                'Copyright', 'WM/Publisher', 'WM/ISRC', 'WM/BeatsPerMinute',
                'MusicBrainz/Track Id', 'MusicBrainz/Album Id', 'MusicBrainz/Artist Id',
                'MusicBrainz/Album Artist Id', 'MusicBrainz/Release Group Id']:
        audio[key] = FIELDS[ASF_NAMES[key.lower()]]
    for name in ['REPLAYGAIN_TRACK_GAIN', 'REPLAYGAIN_TRACK_PEAK', 'REPLAYGAIN_ALBUM_GAIN',
                 'REPLAYGAIN_ALBUM_PEAK']:
        audio[name] = FIELDS[name]
    audio['WM/PartOfSet'] = ['1/2']
    audio['WM/IsCompilation'] = [mutagen.asf.ASFBoolAttribute(True)]
    audio['WM/Mood'] = ['calm']
    audio['WM/Picture'] = [mutagen.asf.ASFByteArrayAttribute(wm_picture(*p)) for p in WM_PICTURES]
    audio.save()


def split_number(fields, value, number, total):
    parts = value.split('/')
    fields[number] = [parts[0]]
    if len(parts) > 1:
        fields[total] = [parts[1]]


def read_vorbis(audio):
    fields = {k.upper(): list(v) for k, v in audio.tags.items()
              if k.upper() != 'METADATA_BLOCK_PICTURE'}
    if isinstance(audio, mutagen.flac.FLAC):
        pictures = audio.pictures
    else:
        pictures = [mutagen.flac.Picture(base64.b64decode(v))
                    for v in audio.tags.get('METADATA_BLOCK_PICTURE', [])]
    return fields, [(p.type, p.mime, p.data) for p in pictures]


def read_ape(audio):
    fields, pictures = {}, []
    for key, value in audio.tags.items():
        lower = key.lower()
        if lower in APE_COVERS:
            pictures.append((APE_COVERS[lower], None, value.value.split(b'\x00', 1)[1]))
        elif lower == 'track':
            split_number(fields, str(value), 'TRACKNUMBER', 'TRACKTOTAL')
        elif lower == 'disc':
            split_number(fields, str(value), 'DISCNUMBER', 'DISCTOTAL')
        else:
            fields[APE_KEYS.get(lower, key.upper())] = list(value)
    return fields, pictures


def read_asf(audio):
    fields = {}
    for key, values in audio.tags.items():
        lower = key.lower()
        if lower == 'wm/partofset':
            split_number(fields, str(values[0]), 'DISCNUMBER', 'DISCTOTAL')
        elif lower in ASF_NAMES or lower.startswith('replaygain_'):
            # One attribute per name: several values share it.
            fields[ASF_NAMES.get(lower, key.upper())] = ['; '.join(str(v) for v in values)]
    pictures = [(3, None, None)] if 'WM/Picture' in audio.tags else []
    return fields, pictures


def read_id3(audio):
    fields, pictures = {}, []
    for frame in audio.tags.values():
        kind = frame.FrameID
        if kind in ('TRCK', 'TPOS'):
            numbers = ('TRACKNUMBER', 'TRACKTOTAL') if kind == 'TRCK' else ('DISCNUMBER', 'DISCTOTAL')
            split_number(fields, str(frame.text[0]), *numbers)
        elif kind in ('COMM', 'USLT'):
            fields[ID3_FRAMES[kind]] = [frame.text if kind == 'USLT' else frame.text[0]]
        elif kind in ID3_FRAMES:
            fields[ID3_FRAMES[kind]] = [str(text) for text in frame.text]
        elif kind == 'TXXX':
            name = frame.desc.lower()
            fields[ID3_USER_TEXTS.get(name, frame.desc.upper())] = [str(t) for t in frame.text]
        elif kind == 'UFID' and frame.owner == 'http://musicbrainz.org':
            fields['MUSICBRAINZ_TRACKID'] = [frame.data.decode()]
        elif kind == 'APIC':
            pictures.append((int(frame.type), frame.mime, frame.data))
    return fields, pictures


def read(path):
    audio = mutagen.File(path)
    if audio is None or audio.tags is None:
        return {}, []
    if isinstance(audio.tags, mutagen.apev2.APEv2):
        return read_ape(audio)
    if isinstance(audio.tags, mutagen.asf.ASFTags):
        return read_asf(audio)
    if isinstance(audio.tags, mutagen.id3.ID3):
        return read_id3(audio)
    return read_vorbis(audio)


def save_id3v23(path):
    tags = mutagen.id3.ID3(path)
    tags.save(path, v2_version=3)


def add_id3_chunk(path):
    audio = mutagen.wave.WAVE(path)
    audio.add_tags()
    audio.tags.add(mutagen.id3.TIT2(encoding=3, text='id3 title'))
    audio.tags.add(mutagen.id3.TCOM(encoding=3, text='Id3 Komponist'))
    kind, mime, description, data = PICTURES[0]
    audio.tags.add(mutagen.id3.APIC(encoding=3, mime=mime, type=kind, desc=description, data=data))
    audio.save()


def add_huge_picture(path):
    tags = mutagen.id3.ID3(path)
    data = JPEG + bytes(17 * 1024 * 1024)
    tags.add(mutagen.id3.APIC(encoding=3, mime='image/jpeg', type=0, desc='huge', data=data))
    tags.save()


def check(path, through_id3v23=False, through_other=False, source=None):
    fields, pictures = read(path)
    wanted = {**FIELDS, **OWN}
    if through_id3v23:
        # Version 2.3 has no list of values: taggers join them with "/".
        wanted['ARTIST'] = ['/'.join(FIELDS['ARTIST'])]
    faults = []
    for name, values in wanted.items():
        # A field of the source's own family goes only to a target of that family.
        same_family = path.endswith('.flac') or path.endswith('.ogg')
        if name in OWN and (through_id3v23 or through_other or not same_family):
            continue
        if path.endswith('.wma'):
            values = ['; '.join(values)]
        if fields.get(name) != values:
            faults.append(f'{name}: {fields.get(name)!r:.80} instead of {values!r:.80}')
    expected = sorted((kind, data) for kind, _, _, data in PICTURES)
    # Windows Media outputs carry no pictures yet.
    if path.endswith('.wma'):
        expected = []
    if source == 'm4a':
        expected = sorted(MP4_PICTURES)
    if source == 'wma':
        expected = sorted((kind, data) for kind, _, _, data in WM_PICTURES)
    if sorted((kind, data) for kind, _, data in pictures) != expected:
        faults.append('pictures: ' + repr([(k, m, len(d)) for k, m, d in pictures]))
    if pictures and pictures[0][0] != 3:
        faults.append('the front cover is not the first picture')
    print('\n'.join(faults))
    return 1 if faults else 0


if __name__ == '__main__':
    if sys.argv[1] == 'make-flac':
        make_flac(sys.argv[2])
        sys.exit(0)
    if sys.argv[1] == 'add-id3-chunk':
        add_id3_chunk(sys.argv[2])
        sys.exit(0)
    if sys.argv[1] in ('make-m4a', 'make-wma'):
        (make_m4a if sys.argv[1] == 'make-m4a' else make_wma)(sys.argv[2])
        sys.exit(0)
    if sys.argv[1] == 'add-huge-picture':
        add_huge_picture(sys.argv[2])
        sys.exit(0)
    if sys.argv[1] == 'save-id3v23':
        save_id3v23(sys.argv[2])
        sys.exit(0)
    sources = [s for s in sys.argv[3:] if s in ('m4a', 'wma')]
    sys.exit(check(sys.argv[2], 'v23' in sys.argv[3:], 'other' in sys.argv[3:],
                   sources[0] if sources else None))
