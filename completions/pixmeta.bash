# bash completion for pixmeta: options in each of their spellings, the IPTC keys after
# --IPTC:, file names (JPEG files first) elsewhere and after -o=.

# Every flag, and every option that takes a value (offered with its "=").
_pixmeta_flags='/0 -0 --debug /install-kml -install-kml --install-kml /uninstall-kml
-uninstall-kml --uninstall-kml --imgcrd /s -s --show /j -j --json /iptc -iptc --IPTC:List
/nx -nx --noxml --no_xml /gll -gll --gpslatlong /kml -kml /dt -dt --datetime /ori -ori
--orientation /rt -rt --removethumbnail /sfd -sfd --setfiledate /sfdy -sfdy
--setfiledateyymmdd /sfdh -sfdh --setfiledatehms /q -q --quiet /co -co --clear-orientation
/im -im --imagemagick --hashstr --sqlimgs --sqlimgskeys --navsqlupdate ? /? -? --help'
_pixmeta_params='/l= -l= --loglevel= /f= -f= --format= /c= -c= --comment= /key= -key=
--keywords= /cat= -cat= --category= /copy= -copy= --copyright= /obj= -obj= --objectname=
--usercomment= --exifcomment= /tag= -tag= --tags= /t= -t= --title= /sfdd= -sfdd=
--setfiledatedir= /ad= -ad= --adjustday= --adjustdays= /ah= -ah= --adjusthour=
--adjusthours= /am= -am= --adjustmin= --adjustmins= --adjustminute= --adjustminutes= /as=
-as= --adjustsec= --adjustsecs= --adjustsecond= --adjustseconds= /o= -o= --out= --IPTC:'
# The keys that --IPTC:Key=Value sets.
_pixmeta_iptc_keys='ObjectType ObjectAttr ObjectName EditStatus EditorialUpdate Urgency
SubRef Category SuppCategory FixtureID Keywords ContentLocCode ContentLocName ReleaseDate
ReleaseTime ExpireDate ExpireTime SpecialInstru ActionAdvised RefService RefDate RefNumber
DateCreated TimeCreated DigitizeDate DigitizeTime OriginatingProgram ProgramVersion
ObjectCycle ByLine ByLineTitle City SubLocation State LocationCode LocationName
TransmissionRef ImageHeadline ImageCredit Source Copyright Contact ImageCaption
ImageCaptionWriter ImageType Orientation LangID Subfile'

# Adds to _pixmeta_replies every word of $1 that begins with $2, ignoring letter case as
# pixmeta does.
_pixmeta_matching()
{
    local word lower=${2,,}
    local -a words
    # Split without globbing: "?" and "/?" are words, not patterns.
    read -r -d '' -a words <<< "$1"
    for word in "${words[@]}"; do
        [[ ${word,,} == "$lower"* ]] && _pixmeta_replies+=("$word")
    done
}

# Adds the files and folders that begin with $1, each after the text $2: JPEG files first,
# then the rest, each group in name order.
_pixmeta_files()
{
    local name
    local -a jpegs=() others=()
    while IFS= read -r name; do
        if [[ ! -d $name && (${name,,} == *.jpg || ${name,,} == *.jpeg) ]]; then
            jpegs+=("${2-}$name")
        else
            others+=("${2-}$name")
        fi
    done < <(compgen -f -- "$1" | LC_ALL=C sort)
    _pixmeta_replies+=("${jpegs[@]}" "${others[@]}")
    compopt -o filenames -o nosort 2>/dev/null
}

_pixmeta()
{
    local cur
    # The whole word before the cursor: bash splits words at "=" and ":" as well.
    if [[ -n ${COMP_LINE-} ]]; then
        cur=${COMP_LINE:0:COMP_POINT}
        cur=${cur##*[[:space:]]}
    else
        cur=${COMP_WORDS[COMP_CWORD]}
    fi
    # Readline replaces only the text after the word's last word-break character.
    local kept='' i
    for ((i = ${#cur} - 1; i >= 0; i--)); do
        if [[ ${cur:i:1} == [=:] && ${COMP_WORDBREAKS-} == *"${cur:i:1}"* ]]; then
            kept=${cur:0:i+1}
            break
        fi
    done

    local -a _pixmeta_replies=()
    local value=${cur#*=}
    case ${cur,,} in
        [-/]o=* | --out=*)
            _pixmeta_files "$value" "${cur:0:${#cur}-${#value}}"
            ;;
        [-/]sfdd=* | --setfiledatedir=*)
            local folder
            while IFS= read -r folder; do
                _pixmeta_replies+=("${cur:0:${#cur}-${#value}}$folder")
            done < <(compgen -d -- "$value" | LC_ALL=C sort)
            compopt -o filenames 2>/dev/null
            ;;
        *=*) ;;
        --iptc:*)
            _pixmeta_matching "--IPTC:List $(printf -- '--IPTC:%s= ' $_pixmeta_iptc_keys)" "$cur"
            ;;
        -* | [/?]*)
            _pixmeta_matching "$_pixmeta_flags $_pixmeta_params" "$cur"
            # An absolute path begins with a slash, too.
            [[ $cur == /* ]] && _pixmeta_files "$cur"
            ;;
        *)
            _pixmeta_files "$cur"
            ;;
    esac

    COMPREPLY=()
    local reply
    for reply in "${_pixmeta_replies[@]}"; do
        COMPREPLY+=("${reply:${#kept}}")
        [[ $reply == *[=:] ]] && compopt -o nospace 2>/dev/null
    done
    return 0
}

complete -F _pixmeta pixmeta
