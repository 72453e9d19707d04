#include "support/plugin_helper_functions.h"

#include "support/plugin_static_function.h"

#include <QFile>
#include <QFileInfo>

namespace
{
struct bucket_entries
{
    char bucket;
    const char* entries; // ", "-separated, without the leading "."
};

const bucket_entries image_entries[] = {
    {'0', "001"},
    {'2', "2bp"},
    {'3', "36"},
    {'4', "411"},
    {'7', "73i"},
    {'8', "8pbs, 8xi"},
    {'a', "abm, accountpicture-ms, acorn, acr, adc, afx, agif, agp, aic, ais, albm, apd, apm, apng, aps, "
          "apx, arr, art, artwork, arw, asw, avatar, awd, abc, ac5, ac6, af2, af3, ai, artb, asy, awg"},
    {'b', "blkrt, blz, bm2, bmc, bmf, bmp, bmx, bmz, brk, brn, brt, bss, bti"},
    {'c', "cag, ccx, cdd, cdmm, cdmt, cdmtz, cdmz, cdr, cdt, cdx, cgm, cil, clarify, cmx, cnv, cor, csy, "
          "cv5, cvg, cvi, cvs, cvx, cxf, c4, cal, cals, cam, can, cd5, cdc, cdg, ce, cimg, cin, cit, colz, "
          "cpbitmap, cpc, cpd, cpg, cps, cpt, cpx, csf, ct, cut"},
    {'d', "dcs, ddrw, ded, design, dhs, dia, dpp, dpr, dpx, drawing, drawit, drw, dsf, dxb, dc2, dcm, dcx, "
          "ddb, dds, ddt, dgt, dib, dicom, djv, djvu, dm3, dmi, drz, dt2, dtw, dvl"},
    {'e', "ecw, epp, exr, emf, emz, ep, eps, epsf, ezdraw"},
    {'f', "fac, face, fal, fax, fbm, fil, fits, fpg, fpos, fpx, frm, fh10, fh11, fh7, fh8, fh9, fhd, fif, "
          "fig, fmv, fs, ft10, ft11, ft7, ft8, ft9, ftn, fxg"},
    {'g', "g3, gbr, gcdp, gfb, gfie, ggr, gif, gih, gim, gmbck, gmspr, gp4, gpd, gro, grob, gry, gdraw, gem, "
          "gks, glox, gls, graffle, gsd, gstencil, gtemplate"},
    {'h', "hdp, hdr, hdrp, hf, hpi, hr, hrf, hgl, hpg, hpgl, hpl"},
    {'i', "i3d, ic1, ic2, ic3, ica, icb, icn, icon, icpr, ilbm, img, imj, info, ink, int, ipick, ipx, itc2, "
          "ithmb, ivr, ivue, iwi, idea, igt, igx, imd"},
    {'j', "j, j2c, j2k, jas, jb2, jbf, jbig, jbig2, jbmp, jbr, jfi, jfif, jia, jif, jiff, jng, jp2, jpc, "
          "jpd, jpe, jpeg, jpf, jpg, jpg2, jps, jpx, jtf, jwl, jxr"},
    {'k', "kdi, kdk, kfx, kic, kodak, kpg"},
    {'l', "lbm, lif, ljp, lmk"},
    {'m', "mac, mat, max, mbm, mcs, met, mic, mip, mix, mng, mnr, mpf, mpo, mrb, mrxs, msk, msp, mxi, myl, "
          "mgc, mgcb, mgmf, mgmt, mgmx, mgs, mgtx, mmat, mp"},
    {'n', "ncd, ncr, nct, neo, nlm, nap"},
    {'o', "oc3, oc4, oc5, oci, odi, omf, oplc, ora, ota, otb, oti, odg, otg, ovp, ovr"},
    {'p', "pac, pal, pap, pat, pbm, pc1, pc2, pc3, pcd, pcx, pdd, pdn, pe4, pfi, pfr, pgf, pgm, pi1, pi2, "
          "pi3, pi4, pi5, pi6, pic, picnc, pict, pictclipping, pix, pixadex, pjpeg, pjpg, pm, pm3, pmg, png, "
          "pni, pnm, pns, pnt, pntg, pop, pov, pp4, pp5, ppf, ppm, prw, psb, psd, psdx, pse, psf, psp, "
          "pspbrush, pspimage, ptg, ptk, ptx, pvr, pwp, px, pxd, pxicon, pxm, pxr, pzp, pcs, pd, pen, pfd, "
          "pl, plt, pobj, ps, psid, pws"},
    {'q', "qif, qmg, qti, qtif"},
    {'r', "ras, rcl, rcu, rgb, ric, rif, riff, rix, rle, rli, rpf, rri, rs, rsb, rsr, rdl"},
    {'s', "s2mv, sai, sar, sbp, scg, sci, scn, scp, sct, scu, sdr, sep, sfc, sff, sfw, sgi, shg, sid, sig, "
          "sim, skitch, skm, skypeemoticonset, sld, smp, sob, spa, spc, spe, sph, spiff, spj, spp, spr, "
          "sprite, spu, sr, ste, sumo, sun, suniff, sup, sva, scv, sda, sk1, sk2, sketch, slddrt, smf, std, "
          "svf, svg, svgz, sxd"},
    {'t', "t2b, taac, tb0, tbn, tex, tfc, tg4, tga, thm, thumb, tif, tiff, tjp, tm2, tn, tn1, tn2, tn3, tny, "
          "tpf, tpi, tps, trif, tub, tlc, tne, tpl"},
    {'u', "u, ufo, urt, usertile-ms, ufr"},
    {'v', "v, vda, vff, vic, viff, vna, vpe, vrphoto, vss, vst, vbr, vec, vml, vsd, vsdm, vsdx, vstm, vstx"},
    {'w', "wb1, wbc, wbd, wbm, wbmp, wbz, wdp, webp, wi, wic, wmp, wpb, wpe, wvl, wmf, wmz, wpg"},
    {'x', "xbm, xcf, xpm, xwd, xar, xmind, xmmap, xpr"},
    {'y', "y, ysp, yuv, yal"},
    {'z', "zif, zgm"},
};

const bucket_entries audio_entries[] = {
    {'2', "2sf, 2sflib"},
    {'3', "3ga"},
    {'4', "4mp"},
    {'6', "669, 6cm"},
    {'8', "8cm, 8med, 8svx"},
    {'a', "a2m, a52, aa, aa3, aac, aax, ab, abc, abm, ac3, acd, acd-bak, acd-zip, acm, acp, act, adg, adt, "
          "adts, adv, afc, agm, agr, ahx, aif, aifc, aiff, aimppl, ais, akp, al, alac, alaw, alc, all, als, "
          "amf, amr, ams, amxd, amz, aob, ape, apf, apl, aria, ariax, asd, ase, at3, atrac, au, aud, aup, "
          "avastsounds, avr, awb, ay"},
    {'b', "b4s, band, bap, bcs, bdd, bidule, bonk, box, brstm, bun, bwf, bwg, bww"},
    {'c', "c01, caf, caff, cda, cdda, cdlx, cdo, cdr, cel, cfa, cfxr, cgrp, cidb, ckb, ckf, cmf, conform, "
          "copy, cpr, cpt, csh, cts, cwb, cwp"},
    {'d', "d00, d01, dcf, dcm, dct, ddt, dewf, df2, dfc, dff, dig, djr, dls, dm, dmc, dmf, dmsa, dmse, dra, "
          "drg, ds, ds2, dsf, dsm, dsp, dss, dtm, dts, dtshd, dvf, dwa, dwd"},
    {'e', "ear, efa, efe, efk, efq, efs, efv, emd, emp, emx, emy, esps, evr, expressionmap"},
    {'f',
     "f2r, f32, f3r, f4a, f64, far, fda, fdp, fev, fff, flac, flp, fls, frg, fsb, fsm, ftm, fzb, fzf, fzv"},
    {'g', "g721, g723, g726, gbproj, gbs, gig, gio, gm, gp5, gpbank, gpk, gpx, gro, groove, gsm"},
    {'h', "h0, hdp, hma, hmi, hsb"},
    {'i', "iaa, ics, iff, igp, igr, imf, imp, ins, isma, it, iti, itls, its"},
    {'j', "jam, jo, jo-7z"},
    {'k', "k25, k26, kar, kfn, kin, kit, kmp, koz, kpl, krz, ksc, ksf, ksm, kt2, kt3, ktp"},
    {'l', "l, la, lof, logic, lqt, lso, lvp, lwv"},
    {'m', "m1a, m3u, m3u8, m4a, m4b, m4p, m4r, ma1, mbr, mdl, med, mgv, mid, midi, mini2sf, minincsf, "
          "miniusf, mka, mlp, mmf, mmm, mmp, mo3, mod, mogg, mp1, mp2, mp3, mp_, mpa, mpc, mpdp, mpga, mpu, "
          "mscx, mscz, msv, mt2, mt9, mte, mtf, mti, mtm, mtp, mts, mu3, mui, mus, musa, mux, muz, mws, mx3, "
          "mx4, mx5, mx5template, mxl, mxmf, myr, mzp"},
    {'n',
     "nap, nbs, ncw, nkb, nkc, nki, nkm, nks, nkx, nml, note, npl, nra, nrt, nsa, nsf, nst, ntn, nvf, nwc"},
    {'o', "obw, odm, ofr, oga, ogg, okt, oma, omf, omg, omx, opus, orc, ots, ove, ovw"},
    {'p', "pac, pat, pbf, pca, pcast, pcg, pcm, pd, peak, pek, pho, phy, pk, pkf, pla, pls, plst, ply, pna, "
          "pno, ppc, ppcx, prg, psf, psm, psy, ptf, ptm, pts, ptx, pvc"},
    {'q', "qcp"},
    {'r', "r, r1m, ra, ram, raw, rax, rbs, rcy, record, rex, rfl, rgrp, rip, rmf, rmi, rmj, rmm, rmx, rng, "
          "rns, rol, rsn, rso, rta, rti, rtm, rts, rvx, rx2"},
    {'s', "s3i, s3m, s3z, saf, sam, sap, sb, sbg, sbi, sbk, sc2, scs11, sd, sd2, sd2f, sdat, sdii, sds, sdt, "
          "sdx, seg, seq, ses, sesx, sf, sf2, sfap0, sfk, sfpack, sfs, sgp, shn, sib, sid, slp, slx, sma, "
          "smf, smp, snd, sng, sns, sou, sph, sppack, sprg, spx, sseq, ssnd, stap, stm, stx, sty, svd, svx, "
          "sw, swa, swav, sxt, syh, syn, syw, syx"},
    {'t', "tak, td0, tfmx, tg, thx, tm2, tm8, tmc, toc, trak, tsp, tta, tun, txw"},
    {'u', "u, u8, uax, ub, ulaw, ult, ulw, uni, usf, usflib, ust, uw, uwf"},
    {'v', "v2m, vag, val, vap, vb, vc3, vdj, vgm, vgz, vlc, vmd, vmf, vmo, voc, voi, vox, voxal, vpl, vpm, "
          "vqf, vrf, vsq, vtx, vyf"},
    {'w', "w01, w64, wav, wave, wax, wem, wfb, wfd, wfm, wfp, wma, wow, wpk, wpp, wproj, wrk, wtpl, wtpt, "
          "wus, wut, wv, wvc, wve, wwu, wyz"},
    {'x', "xa, xfs, xi, xm, xmf, xmi, xmz, xp, xrns, xsb, xsp, xspf, xt, xwb"},
    {'y', "ym, yookoo"},
    {'z', "zpa, zpl, zvd, zvr"},
};

const bucket_entries video_entries[] = {
    {'2', "264"},
    {'3', "3g2, 3gp, 3gp2, 3gpp, 3gpp2, 3mm, 3p2"},
    {'6', "60d"},
    {'7', "787"},
    {'a', "aaf, aec, aep, aepx, aet, aetx, ajp, ale, am, amc, amv, amx, anim, aqt, arcut, arf, asf, asx, "
          "avb, avc, avd, avi, avp, avs, avv, axm"},
    {'b', "bdm, bdmv, bdt2, bdt3, bik, bin, bix, bmc, bmk, bnp, box, bs4, bsf, bvr, byu"},
    {'c',
     "camproj, camrec, camv, ced, cel, cine, cip, clpi, cmmp, cmmtpl, cmproj, cmrec, cpi, cst, cvc, cx3"},
    {'d',
     "d2v, d3v, dat, dav, dce, dck, dcr, ddat, dif, dir, divx, dlx, dmb, dmsd, dmsd3d, dmsm, dmsm3d, dmss, "
     "dmx, dnc, dpa, dpg, dream, dsy, dv, dv-avi, dv4, dvdmedia, dvr, dvr-ms, dvx, dxr, dzm, dzp, dzt"},
    {'e', "edl, evo, eye, ezt"},
    {'f', "f4f, f4p, f4v, fbr, fbz, fcp, fcproject, ffd, flc, flh, fli, flv, flx, ftc"},
    {'g', "gfp, gl, gom, grasp, gts, gvi, gvp"},
    {'h', "h264, hdmov, hkm"},
    {'m', "mov, mkv, mp4"},
};

// Common video containers the list above lacks; they follow its entries in their buckets.
const bucket_entries video_additions[] = {
    {'m', "m1v, m2t, m2ts, m2v, m4v, mpe, mpeg, mpg, mpv, mts, mxf"},
    {'o', "ogm, ogv"},
    {'q', "qt"},
    {'r', "rm, rmvb"},
    {'s', "swf"},
    {'t', "tod, ts"},
    {'v', "vob"},
    {'w', "webm, wmv, wtv"},
    {'x', "xvid"},
};

// Bucket of an extension's first character, or -1 when it is no ASCII digit or lower-case letter.
int bucket_index(QChar first)
{
    const char16_t c = first.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'z')
        return 10 + (c - u'a');
    return -1;
}

template <size_t N>
void append_entries(plugin_helper_functions::extension_table& table, const bucket_entries (&buckets)[N])
{
    for (const bucket_entries& bucket : buckets)
    {
        const int index = bucket_index(QChar(bucket.bucket));
        const QStringList names = QString::fromLatin1(bucket.entries).split(',');
        for (const QString& name : names)
            table[index].append("." + name.trimmed());
    }
}

// Removes a file or link (dangling ones too); a directory is left alone.
void remove_entry(const QString& path)
{
    const QFileInfo info(path);
    if ((info.exists() || info.isSymLink()) && !(info.isDir() && !info.isSymLink()))
        QFile::remove(path);
}

void copy_file(const QString& source, const QString& destination, const QString& function,
               const QString& caller)
{
    QFile file(source);
    if (file.copy(destination))
        return;
    plugin_static_function::app_debug("[" + function + "] file copy ----FAILED---- :" + source, caller);
    plugin_static_function::app_debug("[" + function + "] Error:" + file.errorString(), caller);
}
} // namespace

plugin_helper_functions::plugin_helper_functions(QWidget* parent) : cancel_extraction_bool(false)
{
    Q_UNUSED(parent);
    initialize_image_extension_list();
    initialize_audio_extension_list();
    initialize_video_extension_list();
}

plugin_helper_functions::~plugin_helper_functions() = default;

void plugin_helper_functions::set_essentials()
{
    cancel_extraction_bool = false;
}

void plugin_helper_functions::set_cancel_extraction(bool cancel)
{
    cancel_extraction_bool = cancel;
}

void plugin_helper_functions::initialize_image_extension_list()
{
    append_entries(image_extension_table, image_entries);
}

void plugin_helper_functions::initialize_audio_extension_list()
{
    append_entries(audio_extension_table, audio_entries);
}

void plugin_helper_functions::initialize_video_extension_list()
{
    append_entries(video_extension_table, video_entries);
    append_entries(video_extension_table, video_additions);
}

plugin_helper_functions::lookup_result
plugin_helper_functions::lookup_extension(const extension_table& table, const QString& file_name) const
{
    const QString name = file_name.toLower().trimmed();
    const int dot = name.lastIndexOf('.');
    if (dot < 0)
        return lookup_result::rejected;
    const QString extension = name.mid(dot + 1);
    const int index = extension.isEmpty() ? -1 : bucket_index(extension.at(0));
    if (index < 0)
        return lookup_result::rejected;

    for (const QString& entry : table[index])
    {
        if (cancel_extraction_bool)
            return lookup_result::rejected;
        if (QString(entry).remove('.') == extension)
            return lookup_result::matched;
    }
    return lookup_result::not_in_bucket;
}

bool plugin_helper_functions::check_is_image_by_extn(QString file_name)
{
    if (file_name.endsWith(".") || file_name.trimmed().isEmpty())
        return false;
    return lookup_extension(image_extension_table, file_name) == lookup_result::matched;
}

bool plugin_helper_functions::check_is_audio_by_extn(QString file_name)
{
    if (file_name.endsWith("."))
        return false;
    return lookup_extension(audio_extension_table, file_name) == lookup_result::matched;
}

// Sound-only containers count as video too: only a miss in the video bucket falls back to the audio table.
bool plugin_helper_functions::check_is_video_by_extn(QString file_name)
{
    if (file_name.endsWith("."))
        return false;
    const lookup_result result = lookup_extension(video_extension_table, file_name);
    if (result == lookup_result::not_in_bucket)
        return check_is_audio_by_extn(file_name.toLower().trimmed());
    return result == lookup_result::matched;
}

void plugin_helper_functions::set_adhoc_parent_path(QString path)
{
    adhoc_parent_path_QString = path;
}

// A free path in the scratch folder for a copy of source_path, cleared of anything lying there;
// empty when there is no scratch folder or the search for a free name was cancelled.
QString plugin_helper_functions::reserve_adhoc_path(const QString& source_path, const QString& caller)
{
    if (source_path.trimmed().isEmpty() || adhoc_parent_path_QString.trimmed().isEmpty())
        return QString();
    const QString name =
        plugin_static_function::get_available_file(source_path, adhoc_parent_path_QString, caller);
    if (name.isEmpty())
        return QString();
    const QString copy_path = adhoc_parent_path_QString + name;
    remove_entry(copy_path);
    return copy_path;
}

QString plugin_helper_functions::get_adhoc_path_for_regular_file(QString file_path)
{
    const QString caller = "QString plugin_helper_functions::get_adhoc_path_for_regular_file(QString)";
    const QString copy_path = reserve_adhoc_path(file_path, caller);
    if (!copy_path.isEmpty())
        copy_file(file_path, copy_path, "get_adhoc_path_for_regular_file", caller);
    return copy_path;
}

QString plugin_helper_functions::get_adhoc_path_for_database(QString db_path)
{
    const QString caller = "QString plugin_helper_functions::get_adhoc_path_for_database(QString)";
    const QString function = "get_adhoc_path_for_database";
    const QString copy_path = reserve_adhoc_path(db_path, caller);
    if (copy_path.isEmpty())
        return copy_path;

    // A journal left from an earlier copy of that name would be replayed into this one.
    remove_entry(copy_path + "-shm");
    remove_entry(copy_path + "-wal");

    copy_file(db_path, copy_path, function, caller);
    for (const QString& suffix : {QStringLiteral("-shm"), QStringLiteral("-wal")})
    {
        if (QFileInfo::exists(db_path + suffix))
            copy_file(db_path + suffix, copy_path + suffix, function, caller);
    }
    return copy_path;
}
